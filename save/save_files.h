#pragma once
// The world and player records and their files, "world.dat" and "player.dat" in a world
// folder. The byte layout is documented in save_files.cpp.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "save/world_folders.h"

struct SavedMob {
  float x = 0, y = 0, z = 0;
  float homeX = 0, homeY = 0, homeZ = 0;  // the point a villager stays near
  float heading = 0;                      // radians
  float decisionTimer = 0;                // seconds
  uint8_t type = 0;                       // the game's own creature code, stored unchanged
  int32_t hitPoints = 0;
  bool operator==(const SavedMob&) const = default;
};

struct SavedDrop {
  float x = 0, y = 0, z = 0;
  uint16_t block = 0;
  uint16_t count = 0;
  float age = 0;  // seconds
  bool operator==(const SavedDrop&) const = default;
};

struct SavedEdit {
  int32_t x = 0, y = 0, z = 0;
  uint16_t block = 0;
  uint8_t level = 255;  // 255: no fluid level
  bool operator==(const SavedEdit&) const = default;
};

struct SavedWorld {
  uint32_t seed = 0;
  float timeOfDay = 0;
  uint8_t weather = 0;
  std::vector<SavedMob> mobs;
  std::vector<SavedDrop> drops;
  std::vector<SavedEdit> edits;
  bool operator==(const SavedWorld&) const = default;
};

struct SavedSlot {
  uint16_t block = 0;
  uint16_t count = 0;
  bool operator==(const SavedSlot&) const = default;
};

struct SavedPlayer {
  float x = 0, y = 0, z = 0;
  float yaw = 0, pitch = 0;  // degrees
  bool flying = false;
  int32_t hitPoints = 20;
  uint8_t gameMode = 0;
  uint8_t hotbar = 0;
  std::vector<SavedSlot> slots;
  bool operator==(const SavedPlayer&) const = default;
};

// Write the record crash-safely; false for an invalid name or any failure, in which case
// the previous file is left as it was.
bool writeWorldSave(std::string_view name, const SavedWorld& world,
                    const std::string& saves = savesFolder());
bool writePlayerSave(std::string_view name, const SavedPlayer& player,
                     const std::string& saves = savesFolder());

// Writes `bytes` to `path` crash-safely, the way the save files are written: through
// "<path>.tmp", flushed, renamed over `path`, and the folder flushed. False on any
// failure, leaving the previous file as it was. The folder must exist.
bool writeFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);

// Read the record; false for an invalid name, a missing, foreign, unknown-version,
// over-limit or short file (`out` may then be partly filled).
bool readWorldSave(std::string_view name, SavedWorld& out,
                   const std::string& saves = savesFolder());
bool readPlayerSave(std::string_view name, SavedPlayer& out,
                    const std::string& saves = savesFolder());

// The same formats as bytes, for the readers above, tests and fuzzing.
std::vector<uint8_t> encodeWorldSave(const SavedWorld& world);
std::vector<uint8_t> encodePlayerSave(const SavedPlayer& player);
bool decodeWorldSave(const uint8_t* data, size_t size, SavedWorld& out);
bool decodePlayerSave(const uint8_t* data, size_t size, SavedPlayer& out);
