#include "game/game_mod_context.h"

#include <cmath>
#include <cstdio>

#include "game/lifecycle.h"

namespace {

// An item id a mod may give or drop: a registered block other than air.
BlockId itemFromId(const std::string& id) {
  const BlockId item = findBlock(id);
  return item == kNoBlock || item == kBlockAir ? kNoBlock : item;
}

}  // namespace

bool GameModContext::getBlock(int32_t x, int32_t y, int32_t z, std::string& id) {
  if (!game_.world || !insideWorld(x, y, z)) return false;
  id = blockDef(game_.world->getBlock(x, y, z)).id;
  return true;
}

bool GameModContext::setBlock(int32_t x, int32_t y, int32_t z, const std::string& id) {
  const BlockId block = findBlock(id);
  if (!game_.world || block == kNoBlock || !insideWorld(x, y, z)) return false;
  game_.world->setBlock(x, y, z, block);
  return true;
}

void GameModContext::message(const std::string& text) {
  addMessage(game_, text);
}

bool GameModContext::give(const std::string& id, int32_t count) {
  const BlockId item = itemFromId(id);
  if (item == kNoBlock || count < 1) return false;
  return game_.inventory.items.add(item, count);
}

glm::vec3 GameModContext::playerPosition() {
  return game_.player.position;
}

void GameModContext::teleport(glm::vec3 position) {
  // A NaN or infinite target would leave the player nowhere; it is ignored.
  if (!std::isfinite(position.x) || !std::isfinite(position.y) || !std::isfinite(position.z)) return;
  teleportPlayer(game_, position, 2);
}

bool GameModContext::spawnDrop(int32_t x, int32_t y, int32_t z, const std::string& id,
                               int32_t count) {
  const BlockId item = itemFromId(id);
  if (item == kNoBlock || count < 1) return false;
  ::spawnDrop(game_.entities.drops, glm::vec3(x, y, z) + glm::vec3(0.5f), item, count);
  assignEntityIds(game_);
  return true;
}

bool GameModContext::isHost() {
  return game_.net.role != NetClient;
}

void GameModContext::log(const std::string& text) {
  std::printf("[mod] %s\n", text.c_str());
  std::fflush(stdout);
}
