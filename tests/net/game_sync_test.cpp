// The game-side helpers of multiplayer: the list of other players and block changes
// between a World and the wire.

#include <gtest/gtest.h>

#include "net/game_sync.h"

TEST(RemotePlayers, FoundOrCreatedByIdWithNamesThatOnlyImprove) {
  std::vector<RemotePlayer> players;
  findOrCreateRemotePlayer(players, 5);
  EXPECT_EQ(players[0].name, "Player 5");
  EXPECT_EQ(players[0].hitPoints, 20);
  findOrCreateRemotePlayer(players, 5, "Ann");
  findOrCreateRemotePlayer(players, 5);
  findOrCreateRemotePlayer(players, 1, "Host");
  ASSERT_EQ(players.size(), 2u);
  EXPECT_EQ(players[0].name, "Ann");
  EXPECT_EQ(players[1].id, 1u) << "arrival order";
  EXPECT_TRUE(removeRemotePlayer(players, 5));
  EXPECT_FALSE(removeRemotePlayer(players, 5));
  EXPECT_EQ(players.size(), 1u);
}

TEST(RemotePlayers, FirstStateAlsoPlacesTheDrawnPlayer) {
  RemotePlayer p;
  NetEvent state;
  state.kind = NetEventKind::PlayerState;
  state.x = 1, state.y = 2, state.z = 3, state.yaw = 0.5f, state.hitPoints = 7;
  applyRemoteState(p, state);
  EXPECT_TRUE(p.hasState);
  EXPECT_EQ(p.shownX, 1.0f);
  EXPECT_EQ(p.hitPoints, 7);
  state.x = 9;
  applyRemoteState(p, state);
  EXPECT_EQ(p.targetX, 9.0f);
  EXPECT_EQ(p.shownX, 1.0f) << "later states are eased towards, not jumped to";
}

TEST(BlockChanges, EditRecordRebuildsOnAnotherWorldOfTheSameSeed) {
  World host(77);
  host.setBlock(3, 40, -9, kBlockBricks);
  host.setBlock(-20, 41, 5, kBlockAir);
  host.setBlockWithLevel(30, 45, 30, kBlockWater, 4);
  const std::vector<BlockChange> changes = editRecordChanges(host);
  ASSERT_EQ(changes.size(), 3u);

  World client(77);
  EXPECT_EQ(applyBlockChanges(client, changes), 3u);
  for (const BlockChange& c : changes) {
    client.ensureColumn(floorDiv16(c.x), floorDiv16(c.z));
    host.ensureColumn(floorDiv16(c.x), floorDiv16(c.z));
    EXPECT_EQ(client.getBlock(c.x, c.y, c.z), host.getBlock(c.x, c.y, c.z));
    EXPECT_EQ(client.fluidLevel(c.x, c.y, c.z), host.fluidLevel(c.x, c.y, c.z));
  }
  EXPECT_EQ(client.fluidLevel(30, 45, 30), 4);
  for (const BlockChange& c : changes) {
    if (c.id != kBlockWater) {
      EXPECT_EQ(c.level, kNoLevel);
    }
  }
}
