#pragma once
// The mods' door into the running game.

#include "game/game.h"
#include "mods/mod_context.h"

class GameModContext : public ModContext {
 public:
  explicit GameModContext(Game& game) : game_(game) {}
  bool getBlock(int32_t x, int32_t y, int32_t z, std::string& id) override;
  bool setBlock(int32_t x, int32_t y, int32_t z, const std::string& id) override;
  void message(const std::string& text) override;
  bool give(const std::string& id, int32_t count) override;
  glm::vec3 playerPosition() override;
  void teleport(glm::vec3 position) override;
  bool spawnDrop(int32_t x, int32_t y, int32_t z, const std::string& id, int32_t count) override;
  bool isHost() override;
  // Prints "[mod] <text>" to standard output.
  void log(const std::string& text) override;

 private:
  Game& game_;
};
