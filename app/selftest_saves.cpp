// Self-test checks of the save files, in a temporary saves folder removed afterwards.

#include <stdlib.h>

#include <filesystem>

#include "app/selftest.h"
#include "save/save_files.h"
#include "world/world.h"

namespace {

void runSaveChecks(SelfTestRun& run) {
  char pattern[] = "/tmp/orvane-selftest-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    run.check(false, "a temporary saves folder can be created");
    return;
  }
  const std::string saves = pattern;

  // The world's own edits, as the game saves them.
  SavedWorld world;
  world.seed = run.world.seed;
  world.timeOfDay = 0.33f;
  world.weather = 1;
  world.mobs.push_back({10, 20, 30, 11, 20, 31, 1.5f, 2.5f, 1, 2});
  world.drops.push_back({5, 6, 7, kBlockSand, 3, 1.25f});
  for (const auto& [key, id] : run.world.edits().blocks) {
    const BlockPos p = unpackBlockKey(key);
    const uint8_t* level = run.world.edits().levels.lookup(key);
    world.edits.push_back({p.x, p.y, p.z, id, level ? *level : kNoLevel});
  }
  SavedPlayer player;
  player.x = 1.5f;
  player.yaw = 45;
  player.pitch = -12;
  player.flying = true;
  player.hitPoints = 7;
  player.gameMode = 1;
  player.hotbar = 3;
  player.slots.push_back({kBlockPlanks, 17});

  const bool written =
      writeWorldSave("Self Test", world, saves) && writePlayerSave("Self Test", player, saves);
  SavedWorld worldBack;
  SavedPlayer playerBack;
  run.check(written && readWorldSave("Self Test", worldBack, saves) && worldBack == world,
            "world save round-trips");
  run.check(written && readPlayerSave("Self Test", playerBack, saves) && playerBack == player,
            "player save round-trips");
  run.check(listWorlds(saves) == std::vector<std::string>{"Self Test"} &&
                deleteWorld("Self Test", saves) && !worldExists("Self Test", saves),
            "saved worlds are listed and deleted");
  run.check(!writeWorldSave("../escape", world, saves) && worldFolderName("LPT1") == "World LPT1",
            "unsafe world names are refused");

  std::error_code ec;
  std::filesystem::remove_all(saves, ec);
}

const SelfTestArea kSaveArea(700, "saves", &runSaveChecks);

}  // namespace
