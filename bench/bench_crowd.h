#pragma once
// A crowd around the spawn point for the benchmarks of full games.

#include <algorithm>

#include "game/game.h"

// Tops the game's mobs up to (or cuts them to) `mobCount` from the test seed and adds
// `dropCount` dirt drops on a 2-block grid around the spawn; every new entity gets its id.
inline void populateCrowd(Game& game, size_t mobCount, int dropCount) {
  std::vector<Mob>& mobs = game.entities.mobs;
  for (uint32_t extra = 1; mobs.size() < mobCount && extra < 400; ++extra) {
    auto more = spawnMobsAround(*game.world, 20261018 + extra, 14, game.spawnPoint);
    mobs.insert(mobs.end(), more.begin(), more.end());
  }
  mobs.resize(std::min(mobs.size(), mobCount));
  for (int i = 0; i < dropCount; ++i) {
    spawnDrop(game.entities.drops,
              game.spawnPoint + glm::vec3(static_cast<float>(i % 10) * 2.0f - 10.0f, 0.0f,
                                          static_cast<float>(i / 10) * 2.0f - 10.0f),
              kBlockDirt, 1);
  }
  assignEntityIds(game);
}
