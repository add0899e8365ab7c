#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "game/mobs.h"
#include "game/random.h"
#include "game/spawn_point.h"

namespace {

// A stone floor at y 50 east of the test seed's spawn, open air above.
struct Arena {
  World w{20261018};
  Arena() {
    for (int z = 290; z <= 310; ++z) {
      for (int x = 440; x <= 490; ++x) w.setBlockRaw(x, 50, z, kBlockStone);
    }
  }
};

Mob mobAt(uint8_t type, glm::vec3 p) {
  Mob m;
  m.type = type;
  m.position = m.home = p;
  m.hitPoints = mobTypeInfo(type).hitPoints;
  return m;
}

}  // namespace

TEST(Mobs, SpawningIsDeterministicAndOnGround) {
  World a(999), b(999);
  const glm::vec3 spawn = findSpawnPoint(a);
  const auto first = spawnMobsAround(a, 999, 14, spawn);
  const auto second = spawnMobsAround(b, 999, 14, findSpawnPoint(b));
  ASSERT_EQ(first.size(), second.size());
  for (size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(first[i].position, second[i].position);
    EXPECT_EQ(first[i].type, second[i].type);
    EXPECT_EQ(first[i].heading, second[i].heading);
    EXPECT_EQ(first[i].hitPoints, first[i].type == MobPig ? 2 : 3);
    EXPECT_EQ(first[i].home, first[i].position);
    const float dx = std::fabs(first[i].position.x - 0.5f - std::trunc(spawn.x));
    const float dz = std::fabs(first[i].position.z - 0.5f - std::trunc(spawn.z));
    EXPECT_TRUE(dx > 3.0f || dz > 3.0f) << "never right beside the centre";
    EXPECT_LE(std::max(dx, dz), 20.0f);
  }
}

TEST(Mobs, VillagersComeInThreesToFivesPerVillage) {
  World w(20261018);
  const auto villagers = spawnVillagers(w, w.seed, {0.5f, 40.0f, 0.5f}, 64.0f);
  ASSERT_GE(villagers.size(), 3u);
  EXPECT_LE(villagers.size(), 5u);
  for (const Mob& m : villagers) {
    EXPECT_EQ(m.type, MobVillager);
    EXPECT_EQ(m.hitPoints, 4);
    EXPECT_LE(std::fabs(m.position.x - 0.5f), 7.0f);
    EXPECT_LT(m.decisionTimer, 2.0f);
  }
  EXPECT_TRUE(spawnVillagers(w, w.seed, {5000.5f, 40.0f, 5000.5f}, 10.0f).empty());
}

TEST(Mobs, BlockedWalkersHopAndFallersReturn) {
  Arena arena;
  World& w = arena.w;
  for (int z = 290; z <= 310; ++z) w.setBlockRaw(470, 51, z, kBlockStone);  // a low wall
  Mob pig = mobAt(MobPig, {468.5f, 51.4f, 300.5f});
  pig.moving = 1;
  pig.heading = 0.0f;  // towards +x, into the wall
  pig.decisionTimer = 100.0f;
  std::vector<Mob> mobs{pig};
  float highest = 0.0f;
  bool hopped = false;
  for (int i = 0; i < 180; ++i) {
    updateMobs(w, mobs, 1.0f / 60.0f, {});
    hopped |= mobs[0].velocity.y > 6.0f;
    highest = std::max(highest, mobs[0].position.y);
  }
  EXPECT_TRUE(hopped);
  EXPECT_LE(highest, 51.4f + 0.875f + 0.05f);
  EXPECT_LT(mobs[0].position.x, 470.0f - kMobHalfSize + 0.01f);

  Mob faller = mobAt(MobSlime, {-3000.5f, -4.9f, 0.5f});
  faller.decisionTimer = 100.0f;
  std::vector<Mob> falling{faller};
  for (int i = 0; i < 10; ++i) updateMobs(w, falling, 0.05f, {});
  EXPECT_FLOAT_EQ(falling[0].position.x, -3000.5f);
  EXPECT_GT(falling[0].position.y, 30.0f) << "back above the same column";
}

TEST(Mobs, FleeingAndHomesickBehaviour) {
  Arena arena;
  World& w = arena.w;
  Mob pig = mobAt(MobPig, {465.5f, 51.4f, 300.5f});
  pig.fleeTimer = 2.0f;
  std::vector<Mob> mobs{pig};
  const std::vector<MobTarget> players{{{462.5f, 52.62f, 300.5f}, 1}};
  updateMobs(w, mobs, 0.1f, players);
  EXPECT_NEAR(mobs[0].heading, 0.0f, 1e-5f) << "runs directly away";
  EXPECT_NEAR(mobs[0].velocity.x, 1.7f * 1.7f, 1e-4f);

  Mob villager = mobAt(MobVillager, {480.5f, 51.4f, 300.5f});
  villager.home = {470.5f, 51.4f, 300.5f};
  std::vector<Mob> v{villager};
  updateMobs(w, v, 0.1f, {});
  EXPECT_NEAR(std::fabs(v[0].heading), 3.14159f, 1e-3f) << "walks home";
  EXPECT_TRUE(v[0].moving);
}

TEST(Mobs, DisplayedYawTurnsTheShortWay) {
  Arena arena;
  World& w = arena.w;
  Mob m = mobAt(MobPig, {465.5f, 51.4f, 300.5f});
  m.displayedYaw = 3.0f;
  m.heading = -3.0f;  // 0.28 rad away across the wrap
  m.decisionTimer = 100.0f;
  std::vector<Mob> mobs{m};
  updateMobs(w, mobs, 0.05f, {});
  EXPECT_GT(mobs[0].displayedYaw, 3.0f);
  EXPECT_NEAR(mobs[0].displayedYaw, 3.0f + 0.5f * (2 * 3.14159265f - 6.0f), 1e-4f);
}

TEST(Mobs, WanderDrawsFromTheSharedGenerator) {
  resetAiRandom();
  uint32_t state = kAiRandomSeed;
  EXPECT_EQ(nextAiRandom(), xorshift32(state));
  EXPECT_EQ(nextAiRandom(), xorshift32(state));
  Arena arena;
  World& w = arena.w;
  resetAiRandom();
  std::vector<Mob> mobs{mobAt(MobPig, {465.5f, 51.4f, 300.5f})};
  updateMobs(w, mobs, 0.01f, {});
  state = kAiRandomSeed;
  const uint32_t x1 = xorshift32(state), x2 = xorshift32(state), x3 = xorshift32(state);
  EXPECT_FLOAT_EQ(mobs[0].decisionTimer, static_cast<float>(x1 % 3000) / 1000.0f + 1.5f);
  EXPECT_EQ(mobs[0].moving, (x2 % 100) < 65);
  EXPECT_FLOAT_EQ(mobs[0].heading, static_cast<float>(x3 % 62832) / 10000.0f);
}

// Undoing a blocked sub-step restores the coordinate exactly. Here x + s - s rounds up to
// 39.6, where the cube touches the wall and every later move of it would be blocked.
TEST(Mobs, BlockedWalkersSlideAlongWallsWithoutEnteringThem) {
  auto fromBits = [](uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
  };
  World w(20261018);
  for (int z = 0; z <= 20; ++z) {
    for (int x = 30; x <= 45; ++x) w.setBlockRaw(x, 40, z, kBlockStone);
    for (int y = 41; y <= 42; ++y) w.setBlockRaw(40, y, z, kBlockStone);
  }
  Mob pig = mobAt(MobPig, {fromBits(0x421e6665), 41.4f, 10.5f});  // x = 39.59999466
  pig.heading = fromBits(0x3d8a3d71);                             // 0.0675 rad
  pig.moving = 1;
  pig.decisionTimer = 100.0f;
  std::vector<Mob> mobs{pig};
  float highest = 0.0f;
  for (int i = 0; i < 60; ++i) {
    updateMobs(w, mobs, 1.0f / 60.0f, {});
    ASSERT_FALSE(mobBlocked(w, mobs[0].position)) << "frame " << i;
    highest = std::max(highest, mobs[0].position.y);
  }
  EXPECT_EQ(mobs[0].position.x, fromBits(0x421e6665)) << "stays exactly where it was stopped";
  EXPECT_NEAR(mobs[0].position.z - 10.5f, 1.7f * std::sin(0.0675f), 0.01f) << "slides along";
  EXPECT_GT(highest, 41.9f) << "and hops against the wall";
}
