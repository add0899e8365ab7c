#pragma once
// What a host and its clients tell each other and what each side does with it. The host
// owns the only simulated world and answers every edit a client asks for; a client
// rebuilds the world from the host's seed and record of changes and draws what the host
// reports. The frame loop calls syncNetwork once per pass on every screen.

#include "game/game.h"

// Updates the connection, applies its events, then sends this pass's periodic messages.
// Does nothing while no connection is active.
void syncNetwork(Game& game, float dt);
// Takes the connection's events and applies each in order.
void applyNetEvents(Game& game);

// Hosting from the menu: starts the host on `port` with the player name; false with
// `error` set when the socket cannot be opened.
bool startHosting(Game& game, uint16_t port, std::string& error);
// Joining from the menu: connects to `address` (already resolved); false with `error`.
bool startJoining(Game& game, const Ipv4Endpoint& address, std::string& error);
// Closes the connection and forgets the role.
void closeConnection(Game& game);
