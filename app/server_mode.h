#pragma once
// "--server": a dedicated host without window, GPU or sound. It loads or creates one
// world, hosts it at a fixed 20 passes per second with the game's own host steps, keeps
// the columns around its players loaded, saves on a timer and on SIGINT or SIGTERM, and
// takes operator commands on standard input.

#include <string>
#include <vector>

#include "game/game.h"

// Runs the server with the words after "--server"; returns the exit status (2 for a
// usage error, 1 when the world, the port or the saves folder cannot be used).
int runServer(const std::vector<std::string>& args);

// One fixed step of the server: the connection, then time, weather, fluids, mods,
// creatures and drops, as a hosting game runs them.
void serverPass(Game& game, float dt);

// Generates at most `budget` of the missing columns around the spawn and every player
// with a known position; returns how many it generated.
int generateServerColumns(Game& game, int budget);
// Generates every missing column around the spawn and the players and drops the others.
void manageServerColumns(Game& game);

// One line typed by the operator: "/stop" (returns false), "/list", "/kick <name or id>",
// "/ban <name or address>", "/unban <name or address>", "/bans", "/say <text>" or plain
// text (chat from the server), or any chat command run as the host's.
bool runOperatorLine(Game& game, const std::string& line);
