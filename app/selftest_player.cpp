// Self-test checks of player movement over the low ground south-west of the spawn,
// where everything above the sea is open air.

#include <cmath>

#include "app/selftest.h"
#include "game/player.h"

namespace {

constexpr int kX = -24, kZ = -170;  // a cell over the sea
constexpr float kEyeX = kX + 0.5f, kEyeZ = kZ + 0.5f;

struct Fall {
  int damage = 0;
  Player player;
};

Fall dropOnto(const World& world, float fromEye, int steps, uint8_t mode) {
  Fall fall;
  fall.player.position = {kEyeX, fromEye, kEyeZ};
  fall.player.gameMode = mode;
  for (int i = 0; i < steps; ++i) fall.damage += stepPlayer(fall.player, world, 1.0f / 60.0f, {});
  return fall;
}

void runPlayerChecks(SelfTestRun& run) {
  World world(run.world.seed);
  world.ensureColumnsAround(kX, kZ, 1);
  world.setBlock(kX, 41, kZ, kBlockStone);

  run.check(!bodyBlocked(world, {kEyeX, 45.8f, kEyeZ}), "player is free in open air");
  run.check(bodyBlocked(world, {kEyeX, 40.9f, kEyeZ}), "player collides with solid block");

  Fall landing = dropOnto(world, 46.0f, 180, GameModeCreative);
  run.check(std::fabs(landing.player.position.y - 43.62f) < 0.05f,
            "player lands on the block surface");
  run.check(landing.player.onGround, "player reports onGround after landing");
  const float rest = landing.player.position.y;
  MovementInput jump;
  jump.jump = true;
  stepPlayer(landing.player, world, 1.0f / 60.0f, jump);
  run.check(landing.player.position.y > rest, "jump leaves the ground");

  run.check(dropOnto(world, 50.0f, 240, GameModeSurvival).damage > 0,
            "fall damage applies in survival mode");
  run.check(dropOnto(world, 50.0f, 240, GameModeCreative).damage == 0,
            "fall damage is disabled in creative mode");

  // A shaft of still water from y 40 to 52 a few blocks away.
  for (int y = 40; y <= 52; ++y) world.setBlockRaw(kX + 4, y, kZ, kBlockWater);
  Player swimmer;
  swimmer.position = {kEyeX + 4.0f, 50.62f, kEyeZ};
  swimmer.gameMode = GameModeSurvival;
  bool out = false;
  for (int i = 0; i < 60 && !out; ++i) {
    stepPlayer(swimmer, world, 0.05f, jump);
    out = swimmer.position.y > 53.7f;
  }
  run.check(out, "player can climb out of deep water");
}

const SelfTestArea kPlayerArea(500, "player movement", &runPlayerChecks);

}  // namespace
