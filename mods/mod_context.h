#pragma once
// The one door from mod scripts into the game. Every scripting function that reads or
// changes the game goes through a ModContext, so the same mods run against the real
// game or against the recording TestModContext of the mod self test.

#include <cstdint>
#include <string>
#include <vector>

#include <glm/vec3.hpp>

class ModContext {
 public:
  virtual ~ModContext() = default;
  // Id text of the block at (x, y, z), e.g. "orvane:stone"; false when unavailable.
  virtual bool getBlock(int32_t x, int32_t y, int32_t z, std::string& id) = 0;
  // Places the block named `id`; false when there is no world or no such block.
  virtual bool setBlock(int32_t x, int32_t y, int32_t z, const std::string& id) = 0;
  // Adds a chat line.
  virtual void message(const std::string& text) = 0;
  // Gives `count` items of block `id` to the player; false when refused.
  virtual bool give(const std::string& id, int32_t count) = 0;
  // The player's eye position.
  virtual glm::vec3 playerPosition() = 0;
  // Moves the player's eye to `position`.
  virtual void teleport(glm::vec3 position) = 0;
  // Drops `count` items of block `id` at the centre of the cell; false when refused.
  virtual bool spawnDrop(int32_t x, int32_t y, int32_t z, const std::string& id, int32_t count) = 0;
  // True unless the game is a multiplayer client.
  virtual bool isHost() = 0;
  // A line of a mod's log.
  virtual void log(const std::string& text) = 0;
};

// The stand-in game of the mod self test: answers fixed values and remembers what the
// mods asked for so the test can read it back.
class TestModContext : public ModContext {
 public:
  bool getBlock(int32_t x, int32_t y, int32_t z, std::string& id) override;
  bool setBlock(int32_t x, int32_t y, int32_t z, const std::string& id) override;
  void message(const std::string& text) override;
  bool give(const std::string& id, int32_t count) override;
  glm::vec3 playerPosition() override;
  void teleport(glm::vec3 position) override;
  bool spawnDrop(int32_t x, int32_t y, int32_t z, const std::string& id, int32_t count) override;
  bool isHost() override;
  // Prints "[test-mod] <text>" to standard output.
  void log(const std::string& text) override;

  std::string lastSetBlock;           // id of the latest setBlock
  std::vector<std::string> messages;  // every message, in order
  std::vector<std::string> logLines;  // every log line, in order
  bool printLog = true;               // benchmarks turn the printing off
};
