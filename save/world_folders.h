#pragma once
// World folders: each world lives in saves/<name>/ beside the executable, with
// "world.dat" and "player.dat". Every operation checks the name first, so invalid names
// never reach the file system. `saves` parameters default to the game's own folder;
// tests pass a folder of their own.

#include <string>
#include <string_view>
#include <vector>

// <program folder>/saves
std::string savesFolder();
// <saves>/<name>
std::string worldFolder(std::string_view name, const std::string& saves = savesFolder());

// 1..48 bytes, not "." or "..", no control bytes, none of " * / : < > ? \ |.
bool isValidWorldName(std::string_view name);

// The folder name for a new world typed as `displayName`: letters, digits, space, '-'
// and '_' kept (tabs become spaces), trimmed, cut to 40 bytes, "World" when empty, and
// reserved device names prefixed with "World ".
std::string worldFolderName(std::string_view displayName);

// Names of the folders in `saves` that hold a "world.dat", sorted bytewise.
std::vector<std::string> listWorlds(const std::string& saves = savesFolder());

// Valid name and a regular "world.dat" in its folder.
bool worldExists(std::string_view name, const std::string& saves = savesFolder());

// Removes the world's folder and everything in it; false for an invalid name, a missing
// folder or any error.
bool deleteWorld(std::string_view name, const std::string& saves = savesFolder());
