#pragma once
// The chat line as a command line: "/gamemode", "/tp", "/fill" and the rest, with the
// mods' registered commands behind the built-in ones.

#include <string>

#include "game/game.h"

// Runs one typed line (with or without the leading "/"); answers in the message log.
void runCommand(Game& game, const std::string& line);

// True for a word the game's own commands handle ("help", "gm", "give", ...).
bool isBuiltinCommandWord(const std::string& word);

// Tab completion: "/" plus the first built-in word that starts with the typed text and a
// space; the input unchanged when it is not "/word" or nothing matches.
std::string completeCommand(const std::string& input);
