// Two games in one process over loopback UDP, each driven by the real frame pass: a
// host and a client that joins from the menu, plays, and leaves.

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include "game/interaction.h"
#include "game/lifecycle.h"
#include "game/net_sync.h"
#include "tests/support/game_driver.h"
#include "tests/support/lossy_relay.h"

namespace {

struct Pair {
  GameDriver host, client;
  LossyRelay* relay = nullptr;  // between them when set

  // Both games run a pass; the loop ends when `done` holds or after `limit` passes.
  template <class Done>
  bool runUntil(Done done, int limit = 1500) {
    for (int i = 0; i < limit; ++i) {
      host.pass();
      if (relay != nullptr) relay->pump();
      client.pass();
      if (relay != nullptr) relay->pump();
      if (done()) return true;
      if (i % 8 == 7) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
  }

  bool join(int limit = 1500) {
    const uint16_t port =
        relay != nullptr ? relay->endpoint().port : host.game.net.session->localPort();
    client.game.menu.address = "127.0.0.1:" + std::to_string(port);
    client.game.menu.playerName = "Guest";
    client.act({MenuAction::Join, {}, {}});
    if (client.game.menu.page != MenuPageConnecting) return false;
    return runUntil([&] { return client.game.screen == ScreenPlaying; }, limit);
  }
};

uint32_t guestId(const Game& host) {
  for (const RemotePlayer& r : host.entities.remotePlayers) {
    if (r.name == "Guest") return r.id;
  }
  return 0;
}

TEST(MultiplayerSession, JoinEditPickUpChatLeaveAndRejoin) {
  Pair p;
  Game& host = p.host.game;
  Game& client = p.client.game;
  std::string error;
  ASSERT_TRUE(startHosting(host, 0, error)) << error;
  host.net.playerName = "Hoster";
  newGame(host, 20261018, "Shared");
  setScreen(host, ScreenPlaying);
  // 5,000 edits the client must receive with the world.
  for (int i = 0; i < 5000; ++i)
    host.world->setBlock(1000 + i % 50, 40 + i / 2500, i / 50 % 50, kBlockBricks);
  host.world->takeCapturedChanges();

  ASSERT_TRUE(p.join());
  EXPECT_EQ(client.net.role, NetClient);
  EXPECT_EQ(client.seed, host.seed);
  EXPECT_TRUE(p.client.logged("Joined Hoster's world"));
  EXPECT_TRUE(p.host.logged("Guest joined the game"));
  client.world->ensureColumnsAround(1049, 49, 0);
  EXPECT_EQ(client.world->edits().blocks.size(), host.world->edits().blocks.size());
  EXPECT_EQ(client.net.downloadedEntries, host.world->edits().blocks.size());
  EXPECT_EQ(client.world->getBlock(1049, 41, 49), kBlockBricks);

  // The host's edits and creatures reach the client.
  host.world->setBlock(5, 50, 5, kBlockBookshelf);
  ASSERT_TRUE(p.runUntil([&] {
    return client.world->getBlock(5, 50, 5) == kBlockBookshelf && !client.entities.mobs.empty();
  }));
  ASSERT_TRUE(p.runUntil(
      [&] { return guestId(host) != 0 && host.entities.remotePlayers.back().hasState; }));

  // An allowed place next to the client, and a refused one far away that is undone.
  const glm::vec3 eye = client.player.position;
  const glm::ivec3 near(static_cast<int>(std::floor(eye.x)) + 2,
                        static_cast<int>(std::floor(eye.y)), static_cast<int>(std::floor(eye.z)));
  client.world->setBlock(near.x, near.y, near.z, kBlockPlanks);
  client.net.session->sendEditRequest(near.x, near.y, near.z, kBlockPlanks, GameModeCreative);
  const glm::ivec3 far = near + glm::ivec3(0, 0, 9);
  const BlockId farBefore = host.world->getBlock(far.x, far.y, far.z);
  client.world->setBlock(far.x, far.y, far.z, kBlockGravel);
  client.net.session->sendEditRequest(far.x, far.y, far.z, kBlockGravel, GameModeCreative);
  ASSERT_TRUE(p.runUntil([&] {
    return host.world->getBlock(near.x, near.y, near.z) == kBlockPlanks &&
           client.world->getBlock(far.x, far.y, far.z) == farBefore;
  }));
  EXPECT_EQ(host.world->getBlock(far.x, far.y, far.z), farBefore);

  // A drop at the client's feet is granted to it and leaves the host's list (the host's
  // own player stands away from it).
  teleportPlayer(host, host.player.position + glm::vec3(0.0f, 0.0f, -12.0f), 1);
  spawnDrop(host.entities.drops, client.player.position - glm::vec3(0.0f, 1.2f, 0.0f), kBlockBricks,
            3);
  assignEntityIds(host);
  host.entities.drops.back().age = 1.0f;
  const size_t hostDrops = host.entities.drops.size();
  ASSERT_TRUE(p.runUntil([&] { return client.inventory.items.count(kBlockBricks) == 3; }));
  EXPECT_EQ(host.entities.drops.size(), hostDrops - 1);
  EXPECT_TRUE(p.client.logged("Picked up bricks x3"));

  // Chat both ways.
  p.client.type("t");
  p.client.type("hi host");
  p.client.tap(GLFW_KEY_ENTER);
  p.host.type("t");
  p.host.type("hi guest");
  p.host.tap(GLFW_KEY_ENTER);
  ASSERT_TRUE(p.runUntil(
      [&] { return p.host.logged("Guest: hi host") && p.client.logged("Hoster: hi guest"); }));

  // A paused host's world goes on for the players who joined.
  p.host.tap(GLFW_KEY_ESCAPE);
  ASSERT_EQ(host.screen, ScreenPaused);
  const float hostTime = host.environment.timeOfDay;
  p.runUntil([] { return false; }, 60);
  EXPECT_GT(host.environment.timeOfDay, hostTime);
  p.host.tap(GLFW_KEY_ESCAPE);

  // Leave and join again.
  p.client.tap(GLFW_KEY_ESCAPE);
  p.client.act({{}, PauseAction::SaveAndQuit, {}});
  EXPECT_EQ(client.screen, ScreenMainMenu);
  EXPECT_EQ(client.net.role, NetOffline);
  ASSERT_TRUE(p.runUntil([&] { return p.host.logged("Guest left the game"); }));
  EXPECT_EQ(guestId(host), 0u);
  ASSERT_TRUE(p.join());
  EXPECT_EQ(client.world->getBlock(near.x, near.y, near.z), kBlockPlanks);
}

TEST(MultiplayerSession, JoinThroughALossyNetwork) {
  Pair p;
  Game& host = p.host.game;
  Game& client = p.client.game;
  std::string error;
  ASSERT_TRUE(startHosting(host, 0, error)) << error;
  newGame(host, 20261018, "Lossy");
  setScreen(host, ScreenPlaying);
  for (int i = 0; i < 5000; ++i) host.world->setBlock(2000 + i % 50, 41, i / 50, kBlockGravel);
  host.world->takeCapturedChanges();
  LossyRelay relay({kIpv4Loopback, host.net.session->localPort()}, 77);
  p.relay = &relay;

  ASSERT_TRUE(p.join(40000));
  const auto allArrived = [&] {
    return client.world->edits().blocks.size() == host.world->edits().blocks.size();
  };
  ASSERT_TRUE(p.runUntil(allArrived, 40000));
  host.world->setBlock(7, 55, 7, kBlockBricks);
  p.client.type("t");
  p.client.type("through the storm");
  p.client.tap(GLFW_KEY_ENTER);
  ASSERT_TRUE(p.runUntil(
      [&] {
        return client.world->getBlock(7, 55, 7) == kBlockBricks &&
               p.host.logged("Guest: through the storm");
      },
      40000));
  EXPECT_GT(relay.dropped, 0);
  EXPECT_GT(relay.duplicated, 0);
}

TEST(MultiplayerSession, MenuRefusalsAndCancel) {
  GameDriver d;
  Game& game = d.game;
  game.menu.port = "70000";
  d.act({MenuAction::HostNew, {}, {}});
  EXPECT_EQ(game.menu.message, "Invalid UDP port");
  game.menu.port = "12a";
  d.act({MenuAction::HostNew, {}, {}});
  EXPECT_EQ(game.menu.message, "Invalid UDP port");
  game.menu.port = "27999";
  d.act({MenuAction::HostSelected, {}, {}});
  EXPECT_EQ(game.menu.message, "Select a world to host");
  d.act({MenuAction::Join, {}, {}});
  EXPECT_EQ(game.menu.message, "Enter a server address");
  EXPECT_EQ(game.net.role, NetOffline);

  // Joining a port where nobody listens: connecting, then cancelled.
  game.menu.address = "127.0.0.1:9";
  d.act({MenuAction::Join, {}, {}});
  EXPECT_EQ(game.menu.page, MenuPageConnecting);
  EXPECT_EQ(game.menu.message, "Contacting 127.0.0.1:9...");
  d.passes(3);
  d.act({MenuAction::CancelConnecting, {}, {}});
  EXPECT_EQ(game.menu.page, MenuPageMultiplayer);
  EXPECT_EQ(game.menu.message, "Cancelled");
  EXPECT_EQ(game.net.role, NetOffline);
  EXPECT_FALSE(game.world);
}

}  // namespace
