// Self-test checks of creature spawning and behaviour.

#include <algorithm>
#include <cmath>

#include "app/selftest.h"
#include "game/mobs.h"
#include "game/random.h"
#include "game/spawn_point.h"

namespace {

// A stone floor at y 50 over the sea east of the spawn, open air above it.
void buildArena(World& world) {
  for (int z = 290; z <= 310; ++z) {
    for (int x = 440; x <= 490; ++x) world.setBlockRaw(x, 50, z, kBlockStone);
  }
}

Mob slimeAt(glm::vec3 position) {
  Mob m;
  m.position = position;
  m.home = position;
  m.type = MobSlime;
  m.hitPoints = mobTypeInfo(MobSlime).hitPoints;
  return m;
}

float runSlime(const World& world, glm::vec3 start, glm::vec3 eye, uint8_t mode, int updates) {
  std::vector<Mob> mobs{slimeAt(start)};
  const std::vector<MobTarget> players{{eye, mode}};
  for (int i = 0; i < updates; ++i) updateMobs(world, mobs, 1.0f / 60.0f, players);
  return std::hypot(mobs[0].position.x - eye.x, mobs[0].position.z - eye.z);
}

void runMobChecks(SelfTestRun& run) {
  World world(999);
  const glm::vec3 spawn = findSpawnPoint(world);
  const std::vector<Mob> mobs = spawnMobsAround(world, 999, 14, spawn);
  run.check(!mobs.empty(), "mobs spawned");
  const bool grounded = std::all_of(mobs.begin(), mobs.end(), [&](const Mob& m) {
    const int below = static_cast<int>(std::floor(m.position.y - 0.41f));
    return !mobBlocked(world, m.position) &&
           blockDef(world.getBlock(static_cast<int>(std::floor(m.position.x)), below,
                                   static_cast<int>(std::floor(m.position.z))))
               .solid;
  });
  run.check(grounded, "mobs spawn on solid ground");
  const bool pig =
      std::any_of(mobs.begin(), mobs.end(), [](const Mob& m) { return m.type == MobPig; });
  run.check(mobs.size() <= 3 || pig, "mob types are assigned");

  World& village = run.world;
  const std::vector<Mob> villagers =
      spawnVillagers(village, village.seed, findSpawnPoint(village), 640.0f);
  run.check(
      villagers.size() >= 3 && std::all_of(villagers.begin(), villagers.end(),
                                           [](const Mob& m) { return m.type == MobVillager; }),
      "villagers spawn in villages");
  run.check(std::none_of(villagers.begin(), villagers.end(),
                         [&](const Mob& m) { return mobBlocked(village, m.position); }),
            "villagers spawn in open space");

  World arena(run.world.seed);
  buildArena(arena);
  resetAiRandom();
  const glm::vec3 eye(460.5f, 52.62f, 300.5f);
  const float creativeGap = runSlime(arena, {465.5f, 51.4f, 300.5f}, eye, 0, 120);
  run.check(creativeGap > 4.0f, "slimes ignore the player in creative mode");
  const float standoff = runSlime(arena, {463.5f, 51.4f, 300.5f}, eye, 1, 300);
  run.check(standoff > 0.8f && standoff < 1.8f,
            "survival slimes hold a standoff instead of standing on the player");
}

const SelfTestArea kMobArea(510, "mobs", &runMobChecks);

}  // namespace
