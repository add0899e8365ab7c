#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "../support/recording_renderer.h"
#include "game/commands.h"
#include "game/environment.h"
#include "game/game_mod_context.h"
#include "game/lifecycle.h"

namespace {

// A small loaded world around the origin with the player standing at the spawn village.
struct CommandWorld {
  Game game;
  RecordingRenderer renderer;
  CommandWorld() {
    game.savesFolder = (std::filesystem::temp_directory_path() / "orvane-commands-test").string();
    game.world = std::make_unique<World>(20261018);
    game.worldName = "T";
    game.world->ensureColumnsAround(0.0, 0.0, 2);
    game.renderer = &renderer;
    const Village& v = game.world->villages().front();
    game.world->ensureColumnsAround(v.x, v.z, 1);
    game.player.position = glm::vec3(v.x + 0.5f, 50.0f, v.z + 0.5f);
  }
  // Runs a line and returns the last message it left.
  std::string run(const std::string& line) {
    runCommand(game, line);
    return game.chat.log.empty() ? "" : game.chat.log.back().text;
  }
};

}  // namespace

TEST(Commands, LineRulesCaseAndClamps) {
  CommandWorld w;
  Game& g = w.game;
  g.chat.historyCursor = 4;
  EXPECT_EQ(w.run("/GameMode S"), "Game mode: Spectator") << "command and mode word lowercased";
  EXPECT_EQ(g.chat.log[g.chat.log.size() - 2].text, "/GameMode S") << "the line as typed";
  EXPECT_EQ(g.chat.historyCursor, -1);
  EXPECT_EQ(w.run("/gm c"), "Game mode: Creative");
  EXPECT_EQ(w.run("/gamemode 2"), "Usage: /gamemode survival|creative|spectator");
  EXPECT_EQ(g.player.gameMode, GameModeCreative);

  const float time = g.environment.timeOfDay;
  EXPECT_EQ(w.run("/time Day"), "Usage: /time day|night|set <0-1>");
  EXPECT_EQ(w.run("/time set nan"), "Usage: /time set <0-1>");
  EXPECT_EQ(g.environment.timeOfDay, time);
  EXPECT_EQ(w.run("/time set 2"), "Time set");
  EXPECT_EQ(g.environment.timeOfDay, 1.0f);
  EXPECT_EQ(w.run("/fov 30"), "FOV 55");
  EXPECT_EQ(w.run("/render 99"), "Render distance 16");
  EXPECT_EQ(g.meshScheduler.renderDistance(), 16);
  EXPECT_EQ(w.run("/render 5.5"), "Usage: /render <4-16>");
  EXPECT_EQ(g.settings.renderDistance, 16);

  g.environment.weatherTimer = 3.0f;
  EXPECT_EQ(w.run("/weather Rain"), "Usage: /weather clear|rain|snow");
  EXPECT_EQ(g.environment.weatherTimer, 90.0f) << "even the usage answer restarts the timer";
  EXPECT_EQ(g.environment.weather, WeatherClear);

  const glm::vec3 eye = g.player.position;
  EXPECT_EQ(w.run("/tp 1 2 inf"), "Usage: /tp x y z");
  EXPECT_EQ(g.player.position, eye);
  EXPECT_EQ(w.run("/tp 10.5 40 -3"), "Teleported");
  EXPECT_EQ(g.player.position, glm::vec3(10.5f, 40.0f, -3.0f));

  EXPECT_EQ(w.run("/frobnicate  some args"), "Unknown command: frobnicate (try /help)");
  const size_t lines = g.chat.log.size();
  w.run("/");
  EXPECT_EQ(g.chat.log.size(), lines + 1) << "an empty command only echoes the line";
}

TEST(Commands, HistoryAndRefusals) {
  Game g;
  runCommand(g, "/seed");
  runCommand(g, "/seed");
  EXPECT_EQ(g.chat.history.size(), 1u) << "a repeated line is remembered once";
  for (int i = 1; i <= 30; ++i) runCommand(g, "/v " + std::to_string(i));
  EXPECT_EQ(g.chat.history.size(), 30u);
  EXPECT_EQ(g.chat.history.front(), "/v 1") << "the 31st line drops the oldest";
  EXPECT_EQ(g.chat.log.back().text, "No world loaded");
  runCommand(g, "/version");
  EXPECT_EQ(g.chat.log.back().text, "Orvane 0.1.1792372227");

  CommandWorld w;
  w.game.net.role = NetClient;
  for (const char* line : {"/save", "/fill 0 0 0 0 0 0 stone", "/mobs", "/time day", "/weather"}) {
    EXPECT_EQ(w.run(line), "Only the host can change the world") << line;
  }
  EXPECT_EQ(w.game.environment.weatherTimer, 75.0f);
  EXPECT_EQ(w.run("/seed"), "Seed 20261018");
  EXPECT_EQ(w.run("/help"), "Client: /time, /weather, /fill, /mobs and /save are host-only");
}

TEST(Commands, FillChecksTheBoxFirstAndRemeshesAround) {
  CommandWorld w;
  World& world = *w.game.world;
  EXPECT_EQ(w.run("fill 0 -5 0 0 100 0 stone"), "Filled 64 blocks");
  for (int y = 0; y < 64; ++y) ASSERT_EQ(world.getBlock(0, y, 0), kBlockStone) << y;

  const BlockId before = world.getBlock(20, 10, 20);
  EXPECT_EQ(w.run("/fill 4 0 4 20 15 19 air"), "Too many blocks (max 4096)");
  EXPECT_EQ(w.run("/fill 4 0 4 20 15 two air"), "Usage: /fill x1 y1 z1 x2 y2 z2 <block>");
  EXPECT_EQ(w.run("/fill 4 0 4 20 15 19 unobtainium"), "Unknown block: unobtainium");
  EXPECT_EQ(world.getBlock(20, 10, 20), before);

  w.renderer.opaque.clear();
  EXPECT_EQ(w.run("/fill 2 2 1 1 1 2 air"), "Filled 8 blocks");
  EXPECT_EQ(world.getBlock(1, 1, 1), kBlockAir);
  EXPECT_EQ(world.getBlock(0, 1, 0), kBlockStone);
  // Sections -1..1 around the box on x and z, 0..1 in height (none below the world).
  EXPECT_EQ(w.renderer.opaque.size(), 18u);
  EXPECT_TRUE(w.renderer.opaque.contains({-1, 1, 1}));
}

TEST(Commands, GiveClampsAndKeepsWhatFit) {
  CommandWorld w;
  Inventory& inv = w.game.inventory.items;
  EXPECT_EQ(w.run("/give air"), "Usage: /give <block> [count]");
  EXPECT_EQ(w.run("/give stone lots"), "Usage: /give <block> [count]");
  EXPECT_TRUE(inv.isEmpty());
  EXPECT_EQ(w.run("/give STONE 5000"), "Gave 2304 stone");
  EXPECT_EQ(inv.count(kBlockStone), 2304);
  EXPECT_EQ(w.run("/clear"), "Inventory cleared");
  EXPECT_TRUE(inv.isEmpty());

  for (int i = 0; i < kInventorySlots - 1; ++i) inv.slots[i] = {kBlockDirt, 64};
  w.game.inventory.cursor = {kBlockSand, 3};
  EXPECT_EQ(w.run("/give cobblestone 100"), "Inventory full");
  EXPECT_EQ(inv.count(kBlockCobblestone), 64);
  w.run("/clear");
  EXPECT_TRUE(w.game.inventory.cursor.empty());
}

TEST(Commands, MobsAndVillage) {
  CommandWorld w;
  Game& g = w.game;
  w.run("/mobs 0");
  ASSERT_LE(g.entities.mobs.size(), 1u);
  EXPECT_EQ(g.chat.log.back().text, "Spawned " + std::to_string(g.entities.mobs.size()) + " mobs");
  for (const Mob& mob : g.entities.mobs) EXPECT_NE(mob.id, 0);

  const Village v = g.world->villages().front();
  const std::string name = villageName(v.x, v.z, g.world->seed);
  g.player.position += glm::vec3(30.0f, 0.0f, 40.0f);
  EXPECT_EQ(w.run("/village"),
            name + "  " + std::to_string(v.x) + " / " + std::to_string(v.z) + "  (50 blocks away)");
  EXPECT_EQ(w.run("/village tp"), "Teleported to " + name);
  EXPECT_EQ(g.player.position.x, v.x + 0.5f);
  EXPECT_NEAR(g.player.position.y, surfaceHeight(*g.world, v.x, v.z) + 2.63f, 1e-4f);
}

TEST(Commands, TabCompletion) {
  EXPECT_EQ(completeCommand("/"), "/help ");
  EXPECT_EQ(completeCommand("/g"), "/gamemode ");
  EXPECT_EQ(completeCommand("/gi"), "/give ");
  EXPECT_EQ(completeCommand("/xyz"), "/xyz");
  EXPECT_EQ(completeCommand("/tp 1"), "/tp 1");
  EXPECT_EQ(completeCommand("he"), "he");
}

// Mods edit the world through the game's context: a cell outside the world is refused
// (the world ignores it, so answering true would tell the mod a lie).
TEST(Commands, ModContextSetsBlocksOnlyInsideTheWorld) {
  CommandWorld w;
  ModContext& mods = *w.game.modContext;
  EXPECT_TRUE(mods.setBlock(3, 63, 4, "bricks"));
  std::string id;
  EXPECT_TRUE(mods.getBlock(3, 63, 4, id));
  EXPECT_EQ(id, "orvane:bricks");
  EXPECT_FALSE(mods.setBlock(3, 64, 4, "bricks"));
  EXPECT_FALSE(mods.setBlock(3, -1, 4, "bricks"));
  EXPECT_FALSE(mods.getBlock(3, 64, 4, id));
  EXPECT_FALSE(mods.setBlock(3, 10, 4, "no_such_block"));
}
