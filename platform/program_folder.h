#pragma once
// Where the program lives. Every data folder ("saves", "mods", "resourcepacks",
// "screenshots", "shaders") sits beside the executable.

#include <optional>
#include <string>

// Full path of the running executable, from /proc/self/exe; nullopt when unavailable.
std::optional<std::string> executablePath();

// The current working directory, or "." when it cannot be read.
std::string currentDirectory();

// The folder part of a module path: the last component and any separators before it
// removed ('/' and '\' both count). nullopt when the path has no separator at all.
std::optional<std::string> folderOfModulePath(const std::string& modulePath);

// The folder holding the executable, falling back to the current directory.
std::string programFolder();

// programFolder() joined with `name`, e.g. dataFolder("saves").
std::string dataFolder(const std::string& name);
