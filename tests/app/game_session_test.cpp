// Whole sessions of the game driven through the same frame pass the window uses, with
// synthetic input, a recording renderer and a temporary saves folder.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <filesystem>

#include "app/frame_loop.h"
#include "game/commands.h"
#include "game/game_mod_context.h"
#include "game/interaction.h"
#include "game/lifecycle.h"
#include "save/save_files.h"
#include "tests/support/game_driver.h"

namespace {

namespace fs = std::filesystem;

glm::ivec3 cellBelow(const Game& game) {
  const glm::vec3 p = game.player.position;
  return {static_cast<int>(std::floor(p.x)), static_cast<int>(std::floor(p.y - 1.7f)),
          static_cast<int>(std::floor(p.z))};
}

TEST(GameSession, PlaysSavesQuitsAndLoadsTheSameWorld) {
  GameDriver d;
  Game& game = d.game;
  d.game.menu.worldName = "Session World";
  d.game.menu.seedText = "20261018";
  d.act({MenuAction::CreateAndPlay, {}, {}});
  ASSERT_EQ(game.screen, ScreenPlaying);
  ASSERT_TRUE(game.world);
  EXPECT_EQ(game.worldName, "Session World");
  EXPECT_EQ(game.seed, seedFromText("20261018"));
  EXPECT_TRUE(fs::exists(d.folder / "Session World" / "world.dat"));
  // Every mob got an id, in order.
  for (size_t i = 0; i < game.entities.mobs.size(); ++i) {
    EXPECT_EQ(game.entities.mobs[i].id, static_cast<int>(i + 1));
  }

  // Walk forward for a second.
  const glm::vec3 start = game.player.position;
  d.input.press(GLFW_KEY_W);
  d.passes(60);
  d.input.release(GLFW_KEY_W);
  EXPECT_GT(
      glm::length(glm::vec2(game.player.position.x - start.x, game.player.position.z - start.z)),
      2.0f);

  // Double-tap Space to fly; a third quick tap starts a new pair and does not land.
  d.tap(GLFW_KEY_SPACE);
  d.tap(GLFW_KEY_SPACE);
  EXPECT_TRUE(game.player.flying);
  EXPECT_TRUE(d.logged("Flying"));
  d.tap(GLFW_KEY_SPACE);
  EXPECT_TRUE(game.player.flying);

  // Creative: break at once, and the section reaches the renderer in the same pass.
  d.lookDown();
  ASSERT_TRUE(game.target.hit);
  const glm::ivec3 broken = game.target.cell;
  const int meshCalls = d.renderer.meshCalls;
  d.input.leftButton = true;
  d.pass();
  d.input.leftButton = false;
  EXPECT_EQ(game.world->getBlock(broken.x, broken.y, broken.z), kBlockAir);
  EXPECT_GT(d.renderer.meshCalls, meshCalls);
  EXPECT_TRUE(d.renderer.has(chunkKeyOf(broken.x, broken.y, broken.z)));
  EXPECT_FALSE(game.entities.particles.empty());
  d.pass();

  // Place the palette block of slot 3 (empty slot in creative) back into the hole.
  d.tap(GLFW_KEY_4);
  d.pass();
  d.click(false);
  EXPECT_EQ(game.world->getBlock(broken.x, broken.y, broken.z), creativePaletteBlock(3));

  // Survival: breaking stone takes its hardness in seconds of held button.
  d.command("gamemode survival");
  EXPECT_EQ(game.player.gameMode, GameModeSurvival);
  EXPECT_FALSE(game.player.flying);
  d.command("tp 40.5 62.5 40.5");
  d.command("fill 0 0 0 16 15 15 air");
  EXPECT_TRUE(d.logged("Too many blocks (max 4096)"));
  d.command("fill 40 58 40 40 58 40 stone");
  d.command("tp 40.5 60.7 40.5");
  d.game.player.velocity = glm::vec3(0.0f);
  d.lookDown();
  ASSERT_TRUE(game.target.hit);
  EXPECT_EQ(game.target.cell, glm::ivec3(40, 58, 40));
  d.input.leftButton = true;
  d.passes(60);  // 1 s of 1.4 s
  EXPECT_EQ(game.world->getBlock(40, 58, 40), kBlockStone);
  EXPECT_NEAR(game.mining.progress, 1.0f / 1.4f, 0.03f);
  d.input.leftButton = false;
  d.pass();
  EXPECT_EQ(game.mining.progress, 0.0f);  // releasing forgets the progress
  d.input.leftButton = true;
  d.passes(90);
  d.input.leftButton = false;
  d.pass();
  EXPECT_NE(game.world->getBlock(40, 58, 40), kBlockStone);
  d.passes(60);  // the cobblestone drop falls to the player and is picked up
  EXPECT_EQ(game.inventory.items.count(kBlockCobblestone), 1);

  // Trade with a villager standing in front of the eye.
  game.inventory.items.add(kBlockPlanks, 9);
  Mob villager;
  villager.type = MobVillager;
  villager.hitPoints = 20;
  game.player.pitch = 0.0f;
  game.player.yaw = 0.0f;
  game.player.velocity = glm::vec3(0.0f);
  villager.position = game.player.position + glm::vec3(1.5f, 0.0f, 0.0f);
  game.entities.mobs.push_back(villager);
  d.pass();
  game.entities.mobs.back().position = game.player.position + glm::vec3(1.5f, 0.0f, 0.0f);
  d.input.rightButton = true;
  d.pass();
  d.input.rightButton = false;
  d.pass();
  EXPECT_TRUE(d.logged("Traded 8 planks for a bookshelf"));
  EXPECT_EQ(game.inventory.items.count(kBlockBookshelf), 1);
  EXPECT_EQ(game.inventory.items.count(kBlockPlanks), 1);
  game.entities.mobs.pop_back();

  // Die in lava, then respawn at the spawn point.
  const glm::ivec3 feet = cellBelow(game) + glm::ivec3(0, 1, 0);
  game.world->setBlock(feet.x, feet.y, feet.z, kBlockLava);
  for (int i = 0; i < 60 * 8 && game.screen == ScreenPlaying; ++i) {
    d.pass();
    game.world->setBlock(feet.x, feet.y, feet.z, kBlockLava);
    game.player.position.x = feet.x + 0.5f;
    game.player.position.z = feet.z + 0.5f;
  }
  ASSERT_EQ(game.screen, ScreenDead);
  EXPECT_TRUE(d.logged("You died"));
  d.act({{}, {}, DeathAction::Respawn});
  EXPECT_EQ(game.screen, ScreenPlaying);
  EXPECT_EQ(game.player.hitPoints, 20);
  EXPECT_EQ(game.player.position, game.spawnPoint);
  game.world->setBlock(feet.x, feet.y, feet.z, kBlockAir);

  // A handful of commands, good and malformed.
  d.command("time set 0.4");
  EXPECT_NEAR(game.environment.timeOfDay, 0.4f, 0.001f);
  d.command("time Day");
  EXPECT_TRUE(d.logged("Usage: /time day|night|set <0-1>"));
  d.command("give bricks 5");
  EXPECT_EQ(game.inventory.items.count(kBlockBricks), 5);
  d.command("tp 1 2");
  EXPECT_TRUE(d.logged("Usage: /tp x y z"));
  d.command("nonsense");
  EXPECT_TRUE(d.logged("Unknown command: nonsense (try /help)"));
  d.command("fill 60 40 60 61 41 61 bricks");
  d.command("weather rain");
  EXPECT_EQ(game.environment.weather, WeatherRain);

  // Save from the pause menu, quit to the menu, then load it again.
  d.tap(GLFW_KEY_ESCAPE);
  EXPECT_EQ(game.screen, ScreenPaused);
  const glm::vec3 savedPosition = game.player.position;
  const float savedTime = game.environment.timeOfDay;
  const std::array<ItemStack, kInventorySlots> savedSlots = game.inventory.items.slots;
  const size_t savedEdits = game.world->edits().blocks.size();
  d.act({{}, PauseAction::SaveAndQuit, {}});
  EXPECT_EQ(game.screen, ScreenMainMenu);
  EXPECT_FALSE(game.world);
  ASSERT_EQ(game.menu.worlds.size(), 1u);

  game.menu.selected = 0;
  d.act({MenuAction::PlaySelected, {}, {}});
  ASSERT_EQ(game.screen, ScreenPlaying);
  ASSERT_TRUE(game.world);
  EXPECT_TRUE(
      d.logged("Loaded Session World (seed " + std::to_string(seedFromText("20261018")) + ")"));
  EXPECT_EQ(game.player.gameMode, GameModeSurvival);
  EXPECT_NEAR(game.player.position.x, savedPosition.x, 1e-4);
  EXPECT_NEAR(game.player.position.z, savedPosition.z, 1e-4);
  EXPECT_FLOAT_EQ(game.environment.timeOfDay, savedTime);
  EXPECT_EQ(game.environment.weather, WeatherRain);
  EXPECT_EQ(game.inventory.items.slots, savedSlots);
  EXPECT_EQ(game.world->edits().blocks.size(), savedEdits);
  game.world->ensureColumnsAround(60, 60, 0);
  EXPECT_EQ(game.world->getBlock(61, 41, 61), kBlockBricks);
  EXPECT_EQ(game.world->getBlock(broken.x, broken.y, broken.z), creativePaletteBlock(3));
}

TEST(GameSession, KeysOfThePlayingScreen) {
  GameDriver d;
  Game& game = d.game;
  newGame(game, 20261018, "Keys");
  setScreen(game, ScreenPlaying);
  d.pass();

  // E in creative explains instead of opening.
  d.tap(GLFW_KEY_E);
  EXPECT_FALSE(game.inventory.open);
  EXPECT_TRUE(d.logged("Inventory is only used in Survival mode"));
  // F4 toggles spectator and returns to the remembered mode and place.
  const glm::vec3 before = game.player.position;
  d.tap(GLFW_KEY_F4);
  EXPECT_EQ(game.player.gameMode, GameModeSpectator);
  game.player.position += glm::vec3(5.0f, 0.0f, 0.0f);
  d.tap(GLFW_KEY_F4);
  EXPECT_EQ(game.player.gameMode, GameModeCreative);
  EXPECT_EQ(game.player.position, before);
  // F3 + F4 cycles creative -> survival.
  d.input.press(GLFW_KEY_F3);
  d.tap(GLFW_KEY_F4);
  d.input.release(GLFW_KEY_F3);
  d.pass();
  EXPECT_EQ(game.player.gameMode, GameModeSurvival);

  // Chat: T opens for talking, Backspace repeats after 0.4 s, history and Tab.
  d.type("t");
  ASSERT_TRUE(game.chat.open);
  EXPECT_TRUE(game.chat.talking);
  d.type("hello world");
  d.input.press(GLFW_KEY_BACKSPACE);
  d.passes(24);  // 0.4 s: only the press deleted
  EXPECT_EQ(game.chat.input, "hello worl");
  d.passes(6);  // ~0.1 s more: two repeats
  d.input.release(GLFW_KEY_BACKSPACE);
  d.pass();
  EXPECT_EQ(game.chat.input, "hello wo");
  d.tap(GLFW_KEY_ENTER);
  EXPECT_TRUE(d.logged("You: hello wo"));
  EXPECT_FALSE(game.chat.open);

  d.type("/");
  d.type("gi");
  d.tap(GLFW_KEY_TAB);
  EXPECT_EQ(game.chat.input, "/give ");
  d.input.press(GLFW_KEY_LEFT_CONTROL);
  d.input.clipboard = "stone\r\n\t7\x01";
  d.tap(GLFW_KEY_V);
  d.input.release(GLFW_KEY_LEFT_CONTROL);
  EXPECT_EQ(game.chat.input, "/give stone  7");
  d.tap(GLFW_KEY_ENTER);
  EXPECT_EQ(game.inventory.items.count(kBlockStone), 7);
  d.type("/");
  d.tap(GLFW_KEY_UP);
  EXPECT_EQ(game.chat.input, "/give stone  7");
  d.tap(GLFW_KEY_DOWN);
  EXPECT_EQ(game.chat.input, "");
  d.tap(GLFW_KEY_ESCAPE);
  EXPECT_FALSE(game.chat.open);
  EXPECT_EQ(game.screen, ScreenPlaying);  // Escape closed only the chat

  // M toggles the minimap; the first pass already filled it.
  EXPECT_NE(game.minimap.colours[3], 0);
  d.tap(GLFW_KEY_M);
  EXPECT_FALSE(game.flags.minimap);
  EXPECT_TRUE(d.logged("Minimap off"));
}

TEST(GameSession, TimersOfHarmAndRecovery) {
  GameDriver d;
  Game& game = d.game;
  newGame(game, 20261018, "Timers");
  setScreen(game, ScreenPlaying);
  d.pass();
  setGameMode(game, GameModeSurvival);
  game.entities.mobs.clear();  // no slime may touch the player here

  // A 2-second stall advances the world by 0.1 s only.
  const float time = game.environment.timeOfDay;
  d.pass(2.0);
  EXPECT_NEAR(game.environment.timeOfDay - time, 0.1f / 180.0f, 1e-6);

  // Falling out of the world puts the player back at the spawn point unharmed.
  game.player.position.y = -25.0f;
  d.pass();
  EXPECT_EQ(game.player.position, game.spawnPoint);
  EXPECT_EQ(game.player.hitPoints, 20);

  // Lava: 2 points per 0.6 s; regeneration 8 s after the last damage, 1 per 3 s.
  const glm::ivec3 cell(static_cast<int>(std::floor(game.player.position.x)),
                        static_cast<int>(std::floor(game.player.position.y - 0.9f)),
                        static_cast<int>(std::floor(game.player.position.z)));
  game.world->setBlock(cell.x, cell.y, cell.z, kBlockLava);
  game.player.velocity = glm::vec3(0.0f);
  const auto holdAtSpawn = [&] {
    game.player.position = game.spawnPoint;
    game.player.velocity = glm::vec3(0.0f);
    game.player.fallDistance = 0.0f;
  };
  for (int i = 0; i < 37; ++i) {  // 0.616 s
    holdAtSpawn();
    d.pass();
  }
  EXPECT_EQ(game.player.hitPoints, 18);
  game.world->setBlock(cell.x, cell.y, cell.z, kBlockAir);
  for (int i = 0; i < 60 * 8; ++i) {
    holdAtSpawn();
    d.pass();
  }
  EXPECT_EQ(game.player.hitPoints, 18);
  for (int i = 0; i < 60 * 3 + 2; ++i) {
    holdAtSpawn();
    d.pass();
  }
  EXPECT_EQ(game.player.hitPoints, 19);
}

TEST(GameLifecycle, MessagesLoadingAndSavingFailures) {
  GameDriver d;
  Game& game = d.game;
  for (int i = 0; i < 45; ++i) addMessagef(game, "line %d", i);
  ASSERT_EQ(game.chat.log.size(), 40u);
  EXPECT_EQ(game.chat.log.front().text, "line 5");

  // A world folder without a readable world record: "Could not load" and nothing changes.
  fs::create_directories(d.folder / "Broken");
  std::FILE* f = std::fopen((d.folder / "Broken" / "world.dat").c_str(), "wb");
  std::fputs("not a world", f);
  std::fclose(f);
  refreshWorldList(game);
  ASSERT_EQ(game.menu.worlds.size(), 1u);
  game.menu.selected = 0;
  d.act({MenuAction::PlaySelected, {}, {}});
  EXPECT_EQ(game.screen, ScreenMainMenu);
  EXPECT_FALSE(game.world);
  EXPECT_EQ(game.menu.message, "Could not load \"Broken\"");

  // Stored hit points of 0 load as 1, and a stored spectator as creative.
  newGame(game, 7, "Stored");
  ASSERT_TRUE(saveGame(game));
  SavedPlayer player;
  ASSERT_TRUE(readPlayerSave("Stored", player, game.savesFolder));
  player.hitPoints = 0;
  player.gameMode = GameModeSpectator;
  ASSERT_TRUE(writePlayerSave("Stored", player, game.savesFolder));
  ASSERT_TRUE(loadGame(game, "Stored"));
  EXPECT_EQ(game.player.hitPoints, 1);
  EXPECT_EQ(game.player.gameMode, GameModeCreative);

  // A save that cannot be written says so and leaves the previous files intact.
  const auto before = fs::file_size(d.folder / "Stored" / "world.dat");
  game.world->setBlock(3, 40, 3, kBlockBricks);
  // A folder where the temporary file goes makes the write fail, even for root.
  fs::create_directories(d.folder / "Stored" / "world.dat.tmp");
  EXPECT_FALSE(saveGame(game));
  EXPECT_TRUE(d.logged("Could not save Stored"));
  EXPECT_EQ(fs::file_size(d.folder / "Stored" / "world.dat"), before);
  SavedWorld saved;
  EXPECT_TRUE(readWorldSave("Stored", saved, game.savesFolder));
  fs::remove_all(d.folder / "Stored" / "world.dat.tmp");

  // Creating a world whose folder exists is refused.
  quitToMenu(game);
  game.menu.worldName = "Stored";
  d.act({MenuAction::CreateAndPlay, {}, {}});
  EXPECT_EQ(game.menu.message, "A world named \"Stored\" already exists");
  EXPECT_FALSE(game.world);
}

}  // namespace

namespace {

TEST(GameSession, ModsSeeTheRealGame) {
  GameDriver d;
  Game& game = d.game;
  const fs::path mod = d.folder / "mod source";
  fs::create_directories(mod);
  std::FILE* f = std::fopen((mod / "main.lua").c_str(), "wb");
  std::fputs(R"(
    ticks = 0
    on_tick(function(dt) ticks = ticks + 1 end)
    on_block_break(function(e)
      if e.y == 63 then e.cancelled = true end
    end)
    orva.register_command("probe", function(args, player)
      local x, y, z = orva.player_position()
      orva.set_block(0, 63, 0, "orvane:bricks")
      orva.give("orvane:planks", 3)
      orva.spawn_drop(1, 40, 1, "orvane:dirt", 2)
      orva.message("probe " .. args .. " by " .. player .. " ticks " .. ticks ..
                   " block " .. tostring(orva.get_block(0, 63, 0)) ..
                   " host " .. tostring(orva.is_host()) ..
                   " give air " .. tostring(orva.give("orvane:air", 1)))
      orva.teleport(x + 100, 60, z)
      orva.teleport(0 / 0, 1, 1)  -- ignored
      return "done"
    end)
  )",
             f);
  std::fclose(f);
  fs::create_directories(d.folder / "mods");
  game.mods.loadMods((d.folder / "mods").string(), game.modContext.get());
  ASSERT_TRUE(game.mods.createMod("guard", mod.string()));

  newGame(game, 20261018, "Mods");
  setScreen(game, ScreenPlaying);
  d.passes(12);  // 0.2 s: four tick events
  const glm::vec3 eye = game.player.position;
  d.command("probe a b");
  const bool probed =
      d.logged("probe a b by Player ticks 3 block orvane:bricks host true give air false") ||
      d.logged("probe a b by Player ticks 4 block orvane:bricks host true give air false");
  EXPECT_TRUE(probed);
  EXPECT_TRUE(d.logged("done"));
  EXPECT_EQ(game.inventory.items.count(kBlockPlanks), 3);
  ASSERT_FALSE(game.entities.drops.empty());
  EXPECT_EQ(game.entities.drops.back().item, kBlockDirt);
  EXPECT_NE(game.entities.drops.back().id, 0);
  EXPECT_FLOAT_EQ(game.player.position.x, eye.x + 100.0f);
  EXPECT_TRUE(game.world->isColumnLoaded(floorDiv16(static_cast<int>(eye.x + 100.0f)) + 2,
                                         floorDiv16(static_cast<int>(std::floor(eye.z)))));

  // A cancelled break in survival leaves the block, plays nothing, and forgets the progress.
  setGameMode(game, GameModeSurvival);
  game.player.flying = false;
  teleportPlayer(game, {0.5f, 65.0f, 0.5f}, 1);
  game.player.pitch = -89.0f;
  game.world->setBlock(0, 64 - 1, 0, kBlockDirt);  // hardness 0.5 s
  game.pendingSounds.clear();
  d.input.leftButton = true;
  bool restarted = false;
  for (int i = 0; i < 40 + 60 * blockDef(kBlockDirt).hardness; ++i) {
    game.player.position = {0.5f, 65.0f, 0.5f};
    game.player.velocity = glm::vec3(0.0f);
    const float before = game.mining.progress;
    d.pass();
    restarted = restarted || game.mining.progress < before;
  }
  d.input.leftButton = false;
  EXPECT_EQ(game.world->getBlock(0, 63, 0), kBlockDirt);
  EXPECT_TRUE(restarted);
  EXPECT_EQ(std::count(game.pendingSounds.begin(), game.pendingSounds.end(), SoundBlockBroken), 0);
  game.mods.unloadMods();
}

}  // namespace
