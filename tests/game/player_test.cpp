#include <gtest/gtest.h>

#include <cmath>

#include "game/player.h"
#include "game/spawn_point.h"
#include "world/village.h"

namespace {

// Open air over the sea south-west of the spawn of the test seed.
struct Field {
  World world{20261018};
  static constexpr int kX = -24, kZ = -170;
  Field() { world.ensureColumnsAround(kX, kZ, 1); }
  glm::vec3 above(float eyeY) const { return {kX + 0.5f, eyeY, kZ + 0.5f}; }
};

int dropFrom(Field& f, Player& p, float eye, int steps) {
  p.position = f.above(eye);
  int damage = 0;
  for (int i = 0; i < steps; ++i) damage += stepPlayer(p, f.world, 1.0f / 60.0f, {});
  return damage;
}

}  // namespace

TEST(Player, FallDamageGrowsWithTheDropAndWaterBreaksTheFall) {
  Field f;
  f.world.setBlock(Field::kX, 40, Field::kZ, kBlockStone);  // feet rest at 41
  Player p;
  p.gameMode = GameModeSurvival;
  EXPECT_EQ(dropFrom(f, p, 41.0f + kEyeHeight + 4.5f, 200), 1);
  p = Player{};
  p.gameMode = GameModeSurvival;
  // The landing step itself adds no distance, so a drop counts slightly short.
  EXPECT_EQ(dropFrom(f, p, 41.0f + kEyeHeight + 10.4f, 200), 7);
  p = Player{};
  p.gameMode = GameModeSurvival;
  EXPECT_EQ(dropFrom(f, p, 41.0f + kEyeHeight + 3.0f, 200), 0) << "short falls are safe";

  // Landing in a pool one block deep.
  f.world.setBlockRaw(Field::kX, 41, Field::kZ, kBlockWater);
  p = Player{};
  p.gameMode = GameModeSurvival;
  EXPECT_EQ(dropFrom(f, p, 41.0f + kEyeHeight + 12.0f, 300), 0);
}

TEST(Player, SpectatorsPassThroughBlocks) {
  Field f;
  for (int y = 35; y <= 50; ++y) f.world.setBlock(Field::kX, y, Field::kZ, kBlockStone);
  Player p;
  p.gameMode = GameModeSpectator;
  p.position = f.above(55.0f);
  MovementInput down;
  down.wish = {0.0f, -3.0f, 0.0f};
  for (int i = 0; i < 30; ++i) {
    EXPECT_EQ(stepPlayer(p, f.world, 0.05f, down), 0);
    EXPECT_FALSE(p.onGround);
  }
  EXPECT_NEAR(p.position.y, 55.0f - 30 * 0.05f * 22.0f, 1e-3f) << "22 blocks per second";
  EXPECT_TRUE(bodyBlocked(f.world, p.position) || p.position.y < 35.0f);
}

TEST(Player, WalkingAndFlyingSpeeds) {
  Field f;
  Player p;
  p.position = f.above(50.0f);
  p.flying = true;
  MovementInput in;
  in.wish = {3.0f, 0.0f, 4.0f};
  stepPlayer(p, f.world, 0.1f, in);
  EXPECT_NEAR(glm::length(p.velocity), 16.0f, 1e-4f);
  in.sprint = true;
  stepPlayer(p, f.world, 0.1f, in);
  EXPECT_NEAR(glm::length(p.velocity), 40.0f, 1e-4f);

  p.flying = false;  // falls while walking through the air
  in.sprint = false;
  stepPlayer(p, f.world, 0.1f, in);
  EXPECT_NEAR(std::hypot(p.velocity.x, p.velocity.z), 5.5f, 1e-4f);
  EXPECT_LT(p.velocity.y, 0.0f);
  p.gameMode = GameModeSurvival;
  p.flying = true;  // survival ignores the flag
  stepPlayer(p, f.world, 0.1f, in);
  EXPECT_LT(p.velocity.y, 0.0f);
}

TEST(Player, BodyTestsUseTheBoxEdges) {
  Field f;
  f.world.setBlock(Field::kX, 41, Field::kZ, kBlockStone);
  // Standing on the block: the feet lie on the boundary and the cell below is free of
  // the box. A head exactly touching a block's underside does test that block.
  EXPECT_FALSE(bodyBlocked(f.world, f.above(42.0f + kEyeHeight)));
  const float headOnBoundary = 41.0f - kBodyHeadroom;
  ASSERT_EQ(headOnBoundary + kBodyHeadroom, 41.0f);
  EXPECT_TRUE(bodyBlocked(f.world, f.above(headOnBoundary)));
  EXPECT_FALSE(bodyBlocked(f.world, f.above(headOnBoundary - 0.01f)));
  f.world.setBlock(Field::kX, 45, Field::kZ, kBlockWater);
  EXPECT_FALSE(bodyBlocked(f.world, f.above(45.5f))) << "water is not solid";

  const glm::vec3 eye{10.5f, 41.62f, 10.5f};  // feet at 40
  EXPECT_TRUE(bodyOverlapsCell(eye, 10, 40, 10));
  EXPECT_TRUE(bodyOverlapsCell(eye, 10, 41, 10));
  EXPECT_FALSE(bodyOverlapsCell(eye, 10, 39, 10)) << "touching is not overlapping";
  EXPECT_FALSE(bodyOverlapsCell(eye, 11, 40, 10));
  EXPECT_FALSE(bodyOverlapsCell({10.7f, 41.62f, 10.5f}, 11, 40, 10));
  EXPECT_TRUE(bodyOverlapsCell({10.71f, 41.62f, 10.5f}, 11, 40, 10));
}

TEST(Player, LookClampsPitch) {
  Player p;
  p.mouseSensitivity = 0.5f;
  p.yaw = 0.0f;
  p.pitch = 0.0f;
  look(p, 10.0f, -400.0f);
  EXPECT_FLOAT_EQ(p.yaw, 5.0f);
  EXPECT_FLOAT_EQ(p.pitch, 89.0f);
  look(p, 0.0f, 1000.0f);
  EXPECT_FLOAT_EQ(p.pitch, -89.0f);
  p.yaw = 90.0f;
  p.pitch = 0.0f;
  const glm::vec3 dir = facingDirection(p);
  EXPECT_NEAR(dir.z, 1.0f, 1e-6f);
  EXPECT_NEAR(dir.x, 0.0f, 1e-6f);
}

TEST(SpawnPoint, StandsOnNaturalGroundAwayFromVillages) {
  World w(20261018);
  const glm::vec3 eye = findSpawnPoint(w);
  EXPECT_FALSE(bodyBlocked(w, eye));
  const int x = static_cast<int>(std::floor(eye.x)), z = static_cast<int>(std::floor(eye.z));
  EXPECT_FLOAT_EQ(eye.x - x, 0.5f);
  const int ground = static_cast<int>(std::floor(eye.y - kEyeHeight - 0.5f));
  const BlockId top = w.getBlock(x, ground, z);
  EXPECT_TRUE(top == kBlockGrass || top == kBlockDirt || top == kBlockSand) << top;
  EXPECT_GE(ground, 32);
  EXPECT_TRUE(villagesNear(w, eye.x - 0.5f, eye.z - 0.5f, 32.0f).empty());
  EXPECT_EQ(x % 8, 0);
  EXPECT_EQ(findSpawnPoint(w), eye) << "same world, same spawn";
}

// A fast fall often starts its landing step above the surface; water under the feet at
// either end of that step breaks the fall, at any frame rate.
TEST(Player, FallsIntoWaterDoNoHarmAtAnyFrameRate) {
  Field f;
  f.world.setBlock(Field::kX, 40, Field::kZ, kBlockStone);
  auto fall = [&](float dt, float height, int depth) {
    for (int y = 41; y <= 44; ++y) {
      f.world.setBlockRaw(Field::kX, y, Field::kZ, y < 41 + depth ? kBlockWater : kBlockAir);
    }
    Player p;
    p.gameMode = GameModeSurvival;
    p.position = f.above(41.0f + kEyeHeight + height);
    int damage = 0;
    for (float t = 0.0f; t < 5.0f; t += dt) damage += stepPlayer(p, f.world, dt, {});
    EXPECT_TRUE(p.onGround);
    return damage;
  };
  for (float dt : {1.0f / 60.0f, 1.0f / 30.0f, 0.1f}) {
    for (float height : {10.0f, 37.0f}) {
      EXPECT_GT(fall(dt, height, 0), 0) << "onto stone, dt " << dt << ", height " << height;
      EXPECT_EQ(fall(dt, height, 1), 0) << "dt " << dt << ", height " << height;
      EXPECT_EQ(fall(dt, height, 4), 0) << "dt " << dt << ", height " << height;
    }
  }
}
