// Mods on a dedicated server: the real server process runs the greeter example, a game
// joins it with the same mods, and the server's mod speaks to that player, gives to that
// player and answers that player's command. Beside it, what the game shows of its mods.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <thread>

#include "game/commands.h"
#include "game/game_mod_context.h"
#include "game/lifecycle.h"
#include "mods/package.h"
#include "tests/support/game_driver.h"
#include "tests/support/server_process.h"

namespace {

namespace fs = std::filesystem;

// examples/mods/<name> packed into `modsFolder`.
bool packExample(const std::string& name, const fs::path& modsFolder) {
  const fs::path source = fs::path(ORVANE_SOURCE_DIR) / "examples" / "mods" / name;
  std::vector<ZipEntry> entries;
  for (const auto& item : fs::recursive_directory_iterator(source)) {
    if (!item.is_regular_file()) continue;
    std::ifstream in(item.path(), std::ios::binary);
    entries.push_back({fs::relative(item.path(), source).generic_string(),
                       std::string(std::istreambuf_iterator<char>(in), {})});
  }
  fs::create_directories(modsFolder);
  std::string error;
  return writeZip((modsFolder / (name + ".mod.orvac")).string(), entries, error);
}

// Runs client passes until `done` holds or about 10 seconds have passed.
template <typename Done>
bool passUntil(GameDriver& client, Done done) {
  for (int i = 0; i < 20000 && !done(); ++i) {
    client.pass();
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  return done();
}

TEST(ServerMods, TheServersModGreetsRewardsAndAnswersTheJoinedPlayer) {
  GameDriver client;
  Game& game = client.game;
  const fs::path mods = client.folder / "mods";
  ASSERT_TRUE(packExample("greeter", mods));
  game.mods.loadMods(mods.string(), game.modContext.get());  // the same mods as the server
  ASSERT_EQ(game.mods.modCount(), 1u);

  const std::string saves = (client.folder / "server saves").string();
  ServerProcess server(ORVANE_EXECUTABLE, {"Modded", "--port", "0", "--seed", "9", "--saves", saves,
                                           "--mods", (client.folder / "mods").string()});
  ASSERT_TRUE(server.started());
  const std::optional<std::string> hosting = server.lineStarting("server: hosting", 60.0);
  ASSERT_TRUE(hosting);
  unsigned port = 0;
  ASSERT_EQ(std::sscanf(hosting->c_str() + hosting->find(" on UDP "), " on UDP %u", &port), 1);

  // A game without the mods is refused; each side's console names its own mods.
  EXPECT_TRUE(std::any_of(server.lines.begin(), server.lines.end(), [](const std::string& line) {
    return line.starts_with("mods: hosting with greeter (");
  }));
  {
    GameDriver bare;
    bare.game.menu.address = "127.0.0.1:" + std::to_string(port);
    ::testing::internal::CaptureStderr();
    bare.act({MenuAction::Join, {}, {}});
    passUntil(bare, [&] { return bare.game.net.role == NetOffline; });
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("mods: the host refused this game's mods: none"), std::string::npos)
        << errors;
  }

  game.menu.address = "127.0.0.1:" + std::to_string(port);
  game.menu.playerName = "Visitor";
  client.act({MenuAction::Join, {}, {}});
  ASSERT_TRUE(passUntil(client, [&] { return game.screen == ScreenPlaying; }));
  EXPECT_TRUE(passUntil(client, [&] {
    return client.logged("Server: Welcome, Visitor! Your first broken block earns a bookshelf.");
  }));

  // Break the first solid block below the player; the server's mod gives the bookshelf.
  const glm::vec3 eye = game.player.position;
  const int x = static_cast<int>(std::floor(eye.x)), z = static_cast<int>(std::floor(eye.z));
  int y = static_cast<int>(std::floor(eye.y));
  while (y > 0 && (game.world->getBlock(x, y, z) == kBlockAir ||
                   blockDef(game.world->getBlock(x, y, z)).fluid)) {
    --y;
  }
  game.net.session->sendEditRequest(x, y, z, 0, GameModeCreative);
  EXPECT_TRUE(passUntil(client, [&] { return game.inventory.items.count(kBlockBookshelf) == 1; }));
  EXPECT_TRUE(
      passUntil(client, [&] { return client.logged("Server: A bookshelf for your first block"); }));

  // The command runs on the server, for this player, and only this player reads the answer.
  client.command("tally");
  EXPECT_TRUE(passUntil(client, [&] { return client.logged("Server: Visitor broke 1 blocks"); }));
  EXPECT_TRUE(server.lineStarting("[mod] Visitor ran /tally"));

  server.type("/stop");
  EXPECT_EQ(server.wait(), 0);
}

TEST(ServerMods, TheGameShowsItsModsTroubleAndTheServerHasNoPhantomPlayer) {
  GameDriver d;
  Game& game = d.game;
  const fs::path mods = d.folder / "mods";
  ASSERT_TRUE(packExample("greeter", mods));
  std::string error;
  ASSERT_TRUE(writeZip((mods / "broken.mod.orvac").string(), {{"main.lua", "error('no')"}}, error));
  ::testing::internal::CaptureStderr();
  game.mods.loadMods(mods.string(), game.modContext.get());
  ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(d.logged("Mod broken failed to load; see the console"));
  newGame(game, 20261209, "Mods");
  setScreen(game, ScreenPlaying);
  d.command("mods");
  EXPECT_TRUE(d.logged("1 mods"));
  EXPECT_TRUE(d.logged("  greeter"));
  EXPECT_TRUE(d.logged("  broken (failed to load)"));
  EXPECT_TRUE(isBuiltinCommandWord("gm"));
  EXPECT_FALSE(isBuiltinCommandWord("tally"));

  // Offline, the mods act on this game's player; on a dedicated server there is none.
  GameModContext& context = *game.modContext;
  EXPECT_TRUE(context.hasPlayer());
  EXPECT_TRUE(context.give("orvane:bookshelf", 1));
  EXPECT_TRUE(context.teleport(game.player.position));
  game.net.dedicated = true;
  EXPECT_FALSE(context.hasPlayer());
  EXPECT_FALSE(context.give("orvane:bookshelf", 1));
  EXPECT_FALSE(context.teleport(game.player.position));
  EXPECT_EQ(game.inventory.items.count(kBlockBookshelf), 1);
  game.net.dedicated = false;
  game.mods.unloadMods();
}

}  // namespace
