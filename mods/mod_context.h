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
  // Moves the player's eye to `position`; false when there is no player it may move.
  virtual bool teleport(glm::vec3 position) = 0;
  // Drops `count` items of block `id` at the centre of the cell; false when refused.
  virtual bool spawnDrop(int32_t x, int32_t y, int32_t z, const std::string& id, int32_t count) = 0;
  // True unless the game is a multiplayer client.
  virtual bool isHost() = 0;
  // A line of a mod's log.
  virtual void log(const std::string& text) = 0;

  // Who the running mod call acts for: the player whose action raised the event or
  // typed the command (id 0 and "" for none, as during a tick). The calls above that act
  // on "the player" act on this one.
  virtual void setEventPlayer(uint32_t /*playerId*/, const std::string& /*name*/) {}
  // False when there is no player for player_position to answer about.
  virtual bool hasPlayer() { return true; }
  // A chat line for everyone in the game.
  virtual void broadcast(const std::string& text) { message(text); }
  // A line for the player of this game about a mod's trouble; `format` is English with
  // one %s for the mod's name.
  virtual void notice(const char* /*format*/, const std::string& /*modName*/) {}
  // True for a command word the game itself handles.
  virtual bool isBuiltinCommand(const std::string& /*word*/) { return false; }
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
  bool teleport(glm::vec3 position) override;
  bool spawnDrop(int32_t x, int32_t y, int32_t z, const std::string& id, int32_t count) override;
  bool isHost() override;
  // Prints "[test-mod] <text>" to standard output.
  void log(const std::string& text) override;
  void setEventPlayer(uint32_t playerId, const std::string& name) override;
  void broadcast(const std::string& text) override;
  void notice(const char* format, const std::string& modName) override;
  bool isBuiltinCommand(const std::string& word) override;

  std::string lastSetBlock;                  // id of the latest setBlock
  std::vector<std::string> messages;         // every message, in order
  std::vector<std::string> logLines;         // every log line, in order
  bool printLog = true;                      // benchmarks turn the printing off
  std::vector<std::string> broadcasts;       // every broadcast, in order
  std::vector<std::string> notices;          // every notice, the mod's name filled in
  std::vector<std::string> builtinCommands;  // words isBuiltinCommand answers true for
  // The event player of the latest calls, and "<player>: <text>" for each message sent
  // while one was set.
  std::string eventPlayer;
  std::vector<std::string> playerMessages;
};
