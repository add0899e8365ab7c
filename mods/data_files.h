#pragma once
// A mod's data folder: reading and writing the files below it without following links,
// within its bounds (16 folders deep, 255 bytes a name, 1,024 bytes a path, 64 MiB and
// 4,096 files and folders a mod).

#include <string_view>

#include "mods/loaded_mod.h"

enum class DataRead { kOk, kMissing, kTooLarge };

// Reads a regular file of the data folder into the mod's scratch text. Links, FIFOs
// and devices read as missing; the size is checked against what the mod's memory can
// still take before anything is read.
DataRead readDataFile(LoadedMod& mod, std::string_view name);

// Writes through "<file>.tmp" and a rename, so the old file stays whole until the new
// one is complete. False for an unsafe name, a write beyond the folder's bounds (one
// line a second on standard error says why) or a failed write; nothing stored is lost.
bool writeDataFile(LoadedMod& mod, std::string_view name, std::string_view data);
