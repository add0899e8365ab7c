#pragma once
// Beginning, persisting and ending a game, changing the game mode, harm to the local
// player, and the message log every part of the game reports to.

#include <cstdint>
#include <string>

#include <glm/glm.hpp>

#include "game/game.h"

// Adds a line to the message log (the oldest of 41 is dropped) and prints
// "[log] <text>". `text` is English; it is shown translated.
void addMessage(Game& game, const std::string& text);
// addMessage with the translated `format` filled printf-style.
void addMessagef(Game& game, const char* format, ...) __attribute__((format(printf, 2, 3)));
// Sets the menu's message line: the translated `format` filled printf-style.
void setMenuMessagef(Game& game, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Enters a screen: closes the inventory, clears the particles. Setting the same screen
// again does nothing.
void setScreen(Game& game, int screen);

// The one entry point for harm to the local player (survival only).
void damagePlayer(Game& game, int amount);

// Starts a new world named `name` from `seed` around its spawn point.
void newGame(Game& game, uint32_t seed, const std::string& name);
// Loads a saved world; false (nothing changed) when its world record cannot be read.
bool loadGame(Game& game, const std::string& name);
// Writes the world and player records; false when nothing was written (no world, no
// name, a client, or a failed write, which leaves the previous files intact).
bool saveGame(Game& game);
// Back to the main menu: saves first when hosting, stops the connection, drops the world.
void quitToMenu(Game& game);
// Changes the game mode, reporting "Game mode: %s" or "Already in %s mode".
void setGameMode(Game& game, uint8_t mode);
// F4: back to the remembered mode when spectating, else into spectator mode.
void toggleSpectator(Game& game);
// Re-reads the saved worlds, keeping the selected row when still valid.
void refreshWorldList(Game& game);

// Moves the eye to `eye` with zero velocity and makes the columns within `radius`
// chunks exist.
void teleportPlayer(Game& game, glm::vec3 eye, int radius);

// A value from the steady clock's nanoseconds v, as (v >> 32) xor v.
uint32_t clockRandom();
// 32-bit FNV-1a of the text's bytes: the seed typed in the menu.
uint32_t seedFromText(const std::string& text);
// "Creative", "Survival" or "Spectator".
const char* gameModeName(uint8_t mode);
