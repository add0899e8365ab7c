#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "game/collision.h"
#include "game/drops.h"
#include "game/mobs.h"
#include "game/player.h"

namespace {

// Generated columns cleared down to a stone floor at y 40 (drops stay still in columns
// that are not loaded).
struct Yard {
  World w{20261018};
  Yard() {
    w.ensureColumnsAround(40, 8, 3);
    for (int z = -8; z <= 24; ++z) {
      for (int x = -8; x <= 80; ++x) {
        w.setBlockRaw(x, 40, z, kBlockStone);
        for (int y = 41; y < kWorldHeight; ++y) w.setBlockRaw(x, y, z, kBlockAir);
      }
    }
  }
  // A wall two blocks high across the yard at `at` on the x axis (axis 0) or z (axis 2).
  void wall(int axis, int at, BlockId id) {
    for (int s = -8; s <= 24; ++s) {
      for (int y = 41; y <= 42; ++y)
        w.setBlockRaw(axis == 0 ? at : s + 24, y, axis == 0 ? s : at, id);
    }
  }
};

// A frame length for which speed * dt rounds to exactly `step`, or 0 when there is none.
float frameFor(float speed, float step) {
  float dt = step / speed;
  for (int i = 0; i < 16; ++i) {
    const float s = speed * dt;
    if (s == step) return dt;
    dt = std::nextafter(dt, s < step ? 1.0f : 0.0f);
  }
  return 0.0f;
}

}  // namespace

// Bodies walk into a wall from the free positions closest to it. Half of them take a
// first sub-step that is an odd number of half ulps of their position, so that adding
// and taking it away again need not come back to the start. Whatever the rounding, no
// body may end a frame touching a solid block: every later move of it would be blocked.
TEST(Collision, BodiesWalkingIntoWallsNeverEndInside) {
  Yard yard;
  World& w = yard.w;
  std::mt19937 rng(7);
  auto uniform = [&](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
  const float frames[3] = {1.0f / 60.0f, 1.0f / 30.0f, 0.1f};
  const glm::vec3 dropExtent(kDropHalfSize);
  Inventory inventory;
  int trials = 0, lastAxis = 0, lastWall = -1;
  for (int i = 0; i < 4000; ++i) {
    if (lastWall >= 0) yard.wall(lastAxis, lastWall, kBlockAir);
    const int axis = i % 2 == 0 ? 0 : 2, other = 2 - axis;
    lastAxis = axis;
    lastWall = 3 + static_cast<int>(rng() % (axis == 0 ? 61 : 18));
    yard.wall(axis, lastWall, kBlockStone);
    const float sign = rng() % 2 == 0 ? 1.0f : -1.0f;
    const int kind = static_cast<int>(rng() % 3);  // mob, player, drop
    const uint8_t mobType = static_cast<uint8_t>(rng() % 3);
    auto blocked = [&](glm::vec3 at) {
      if (kind == 0) return mobBlocked(w, at);
      if (kind == 1) return bodyBlocked(w, at);
      return boxHitsSolid(w, at - dropExtent, at + dropExtent);
    };

    glm::vec3 start(0.0f);
    start.y = kind == 0 ? 41.4f : kind == 1 ? 41.0f + kEyeHeight + 0.01f : 41.2f;
    start[other] = (axis == 0 ? 8.0f : 40.0f) + uniform(0.0f, 1.0f);
    const float half = kind == 0 ? kMobHalfSize : kind == 1 ? kBodyHalfWidth : kDropHalfSize;
    start[axis] = static_cast<float>(sign > 0.0f ? lastWall : lastWall + 1) - sign * half;
    for (int n = 0; n < 64 && blocked(start); ++n) {
      start[axis] = std::nextafter(start[axis], start[axis] - sign);
    }
    if (blocked(start)) continue;
    const bool tie = rng() % 2 == 0;
    if (!tie) start[axis] -= sign * uniform(0.0f, 0.3f);

    // The speed along the walk, then the frame length and sideways share.
    const float speed = kind == 0   ? mobTypeInfo(mobType).walkSpeed
                        : kind == 1 ? 5.5f
                                    : uniform(0.5f, 6.0f);
    float dt = frames[rng() % 3], across = uniform(-0.8f, 0.8f);
    if (tie) {
      const float halfUlp = 0.5f * (std::nextafter(start[axis], 1000.0f) - start[axis]);
      const uint32_t lo = static_cast<uint32_t>(0.002f / halfUlp);
      const uint32_t hi = static_cast<uint32_t>(0.02f / halfUlp);
      dt = frameFor(speed, static_cast<float>((lo + rng() % (hi - lo)) | 1u) * halfUlp);
      across = 0.0f;
      if (dt == 0.0f) continue;
    }

    if (kind == 0) {
      Mob m;
      m.type = mobType;
      m.position = m.home = start;
      m.moving = 1;
      m.decisionTimer = 100.0f;
      m.heading = axis == 0 ? std::atan2(across, sign) : std::atan2(sign, across);
      std::vector<Mob> mobs{m};
      for (int f = 0; f < 20; ++f) {
        updateMobs(w, mobs, dt, {});
        ASSERT_FALSE(blocked(mobs[0].position)) << "trial " << i << ", frame " << f;
      }
    } else if (kind == 1) {
      Player p;
      p.gameMode = static_cast<uint8_t>(rng() % 2);
      p.position = start;
      MovementInput in;
      in.wish[axis] = sign;
      in.wish[other] = across;
      for (int f = 0; f < 20; ++f) {
        stepPlayer(p, w, dt, in);
        ASSERT_FALSE(blocked(p.position)) << "trial " << i << ", frame " << f;
      }
    } else {
      std::vector<Drop> drops;
      spawnDrop(drops, start, kBlockDirt, 1);
      drops[0].velocity[axis] = sign * speed;
      drops[0].velocity[other] = across * speed;
      for (int f = 0; f < 20; ++f) {
        updateDrops(w, drops, glm::vec3(-100.0f), inventory, false, dt);
        ASSERT_EQ(drops.size(), 1u);
        ASSERT_FALSE(blocked(drops[0].position)) << "trial " << i << ", frame " << f;
      }
    }
    ++trials;
  }
  EXPECT_GT(trials, 3500);
}
