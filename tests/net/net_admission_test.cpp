// What a host sends before a newcomer has shown that it receives at its address, and how
// names are kept apart. The real server meets forged Connects in server_guard_test.cpp.

#include <numeric>

#include "net/net_session.h"
#include "net_test_support.h"

namespace {

constexpr uint8_t kConnect = 1, kWelcome = 2, kBatch = 5, kPing = 18, kPong = 19;

size_t bytesOf(const std::vector<RawDatagram>& got) {
  return std::accumulate(got.begin(), got.end(), size_t{0}, [](size_t sum, const RawDatagram& d) {
    return sum + 19 + d.payload.size();
  });
}

}  // namespace

TEST(NetAdmission, UnprovenPeersGetLittleHoldNoSlotAndAreBounded) {
  ManualClock clock;
  NetSession host(clock.fn());
  std::string error;
  ASSERT_TRUE(host.startHost(0, error)) << error;
  const Ipv4Endpoint at{kIpv4Loopback, host.localPort()};
  std::vector<BlockChange> record;
  for (int i = 0; i < 20000; ++i) record.push_back({i, 20, -i, 3, kNoLevel});
  EventLog events;
  // Answers like the game: Welcome, the whole record and Ready at once.
  const auto step = [&](double seconds) {
    clock.now += seconds;
    settle({&host}, 2);
    for (NetEvent& e : host.takeEvents()) {
      if (e.kind == NetEventKind::PeerJoined) {
        host.sendWelcome(e.playerId, 1, 0, 0, 0, 0, 0, "Host");
        host.sendBlockBatches(e.playerId, record);
        host.sendReady(e.playerId);
      }
      events.all.push_back(std::move(e));
    }
  };

  // A sender that keeps talking but never acknowledges gets Welcomes only, within 2 KiB.
  RawPeer chatty;
  const std::vector<uint8_t> connect = datagram(kConnect, 1, 0, connectPayload("Alice"));
  chatty.send(at, connect);
  for (int i = 0; i < 200; ++i) {
    chatty.send(at, datagram(kPing, 0, 0, Bytes().u32(i).b));
    step(0.01);
  }
  const std::vector<RawDatagram> got = chatty.receiveAll();
  for (const RawDatagram& d : got) EXPECT_TRUE(d.type == kWelcome || d.type == kPong);
  EXPECT_LE(bytesOf(got), kUnprovenReplyBytes);

  // 1,000 forged Connects keep at most 256 newcomers, and none of them is a player.
  for (uint32_t i = 0; i < 1000; ++i) {
    host.receiveDatagram(connect.data(), connect.size(),
                         {0x0A000001, static_cast<uint16_t>(1000 + i)});
  }
  EXPECT_EQ(host.peers().size(), kMaxUnprovenPeers);
  EXPECT_TRUE(host.welcomedPlayerIds().empty());

  // An honest client acknowledges its Welcome, and only then gets the rest.
  RawPeer honest;
  honest.send(at, connect);
  step(0.01);
  const std::vector<RawDatagram> first = honest.receiveAll();
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].type, kWelcome);
  honest.send(at, datagram(kPing, 0, first[0].seq, Bytes().u32(0).b));
  step(0.01);
  ASSERT_EQ(events.count(NetEventKind::PeerConfirmed), 1u);
  EXPECT_EQ(events.first(NetEventKind::PeerConfirmed)->name, "Alice");
  const std::vector<RawDatagram> rest = honest.receiveAll();
  ASSERT_EQ(rest.size(), kSendWindow + 1);  // a full window of the record, then the Pong
  EXPECT_EQ(rest[0].type, kBatch);
  EXPECT_EQ(rest[0].seq, 2u);

  step(5.1);  // the others are forgotten without a word
  EXPECT_EQ(host.peers().size(), 1u);
  EXPECT_EQ(events.count(NetEventKind::PeerLeft), 0u);
}

TEST(NetAdmission, TakenNamesGetTheLowestFreeNumberWithinTwentyBytes) {
  const std::vector<std::string> taken{"alice", "bob", "bob2", "abcdefghijklmnopqrst"};
  const auto isTaken = [&](const std::string& n) {
    return std::find(taken.begin(), taken.end(), n) != taken.end();
  };
  EXPECT_EQ(uniquePlayerName("carol", isTaken), "carol");
  EXPECT_EQ(uniquePlayerName("alice", isTaken), "alice2");
  EXPECT_EQ(uniquePlayerName("bob", isTaken), "bob3");
  EXPECT_EQ(uniquePlayerName("abcdefghijklmnopqrst", isTaken), "abcdefghijklmnopqrs2");
}
