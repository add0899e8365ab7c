// Who a host takes, and what it sends before a newcomer has shown that it receives at its
// address: a forged Connect earns only a Welcome within a small allowance, unproven peers
// hold no player slot, and names are unique among the players.

#include <numeric>

#include "net/net_session.h"
#include "net_test_support.h"

namespace {

constexpr uint8_t kConnect = 1, kWelcome = 2, kReject = 3, kBatch = 5, kPing = 18, kPong = 19;

// A host that answers every newcomer like the game: Welcome, a world record of 20,000
// changes, Ready.
struct HostWithWorld {
  ManualClock clock;
  NetSession host{clock.fn()};
  EventLog events;
  std::vector<BlockChange> record;

  HostWithWorld() {
    std::string error;
    EXPECT_TRUE(host.startHost(0, error)) << error;
    for (int i = 0; i < 20000; ++i) record.push_back({i, 20, -i, 3, kNoLevel});
  }
  Ipv4Endpoint at() const { return {kIpv4Loopback, host.localPort()}; }
  void answer() {
    for (NetEvent& e : host.takeEvents()) {
      if (e.kind == NetEventKind::PeerJoined) {
        host.sendWelcome(e.playerId, 1, 0, 0, 0, 0, 0, "Host");
        host.sendBlockBatches(e.playerId, record);
        host.sendReady(e.playerId);
      }
      events.all.push_back(std::move(e));
    }
  }
  void step(double seconds) {
    clock.now += seconds;
    settle({&host}, 2);
    answer();
  }
};

size_t bytesOf(const std::vector<RawDatagram>& got) {
  return std::accumulate(got.begin(), got.end(), size_t{0}, [](size_t sum, const RawDatagram& d) {
    return sum + 19 + d.payload.size();
  });
}

}  // namespace

TEST(NetAdmission, ForgedConnectEarnsOnlyAWelcomeWithinTheAllowance) {
  HostWithWorld h;
  RawPeer forged;  // never acknowledges: it stands for an address that did not send
  const std::vector<uint8_t> connect = datagram(kConnect, 1, 0, connectPayload("Alice"));
  forged.send(h.at(), connect);
  for (int i = 0; i < 40; ++i) h.step(0.25);  // ten seconds of resends and time-outs

  const std::vector<RawDatagram> got = forged.receiveAll();
  ASSERT_FALSE(got.empty());
  for (const RawDatagram& d : got) EXPECT_EQ(d.type, kWelcome) << "only the Welcome, resent";
  EXPECT_LE(bytesOf(got), 10 * connect.size());
  EXPECT_TRUE(h.host.peers().empty()) << "forgotten after 5 s";
  EXPECT_EQ(h.events.count(NetEventKind::PeerConfirmed), 0u);
  EXPECT_EQ(h.events.count(NetEventKind::PeerLeft), 0u) << "it never was a player";

  // A sender that keeps talking gets more, never above 2 KiB before it proves itself.
  RawPeer chatty;
  chatty.send(h.at(), connect);
  for (int i = 0; i < 200; ++i) {
    chatty.send(h.at(), datagram(kPing, 0, 0, Bytes().u32(i).b));
    h.step(0.01);
  }
  EXPECT_LE(bytesOf(chatty.receiveAll()), kUnprovenReplyBytes);

  // An honest client acknowledges its Welcome, and only then gets the rest.
  RawPeer honest;
  honest.send(h.at(), connect);
  h.step(0.01);
  std::vector<RawDatagram> first = honest.receiveAll();
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].type, kWelcome);
  honest.send(h.at(), datagram(kPing, 0, first[0].seq, Bytes().u32(0).b));
  h.step(0.01);
  ASSERT_EQ(h.events.count(NetEventKind::PeerConfirmed), 1u);
  EXPECT_EQ(h.events.first(NetEventKind::PeerConfirmed)->name, "Alice");
  const std::vector<RawDatagram> rest = honest.receiveAll();
  ASSERT_EQ(rest.size(), kSendWindow + 1);  // a full window of the record, then the Pong
  EXPECT_EQ(rest[0].type, kBatch);
  EXPECT_EQ(rest[0].seq, 2u);
  EXPECT_EQ(rest.back().type, kPong);
}

TEST(NetAdmission, UnprovenPeersHoldNoSlotAndAreBoundedInNumber) {
  HostWithWorld h;
  h.host.setMaxPeers(2);
  for (uint32_t i = 0; i < 1000; ++i) {
    const auto bytes = datagram(kConnect, 1, 0, connectPayload("Flood"));
    h.host.receiveDatagram(bytes.data(), bytes.size(),
                           {0x0A000001 + (i >> 16), static_cast<uint16_t>(1000 + (i & 0xFFFF))});
  }
  EXPECT_EQ(h.host.peers().size(), kMaxUnprovenPeers);
  h.answer();

  // Two real clients join through the flood; a third finds the two slots taken.
  NetSession a, b, c;
  std::string error;
  for (NetSession* s : {&a, &b}) ASSERT_TRUE(s->connect(h.at(), "Alice", error));
  ASSERT_TRUE(pumpUntil({&h.host, &a, &b}, [&] {
    h.answer();
    return h.events.count(NetEventKind::PeerConfirmed) == 2;
  }));
  std::vector<std::string> names;
  for (const NetEvent& e : h.events.all) {
    if (e.kind == NetEventKind::PeerConfirmed) names.push_back(e.name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Alice", "Alice2"}));

  ASSERT_TRUE(c.connect(h.at(), "Carol", error));
  EventLog cEvents;
  ASSERT_TRUE(pumpUntil({&h.host, &a, &b, &c}, [&] {
    h.answer();
    cEvents.take(c);
    return cEvents.count(NetEventKind::Rejected) == 1;
  }));
  EXPECT_EQ(cEvents.first(NetEventKind::Rejected)->text, "The host is full");
}

TEST(NetAdmission, NamesAreMadeUniqueWithinTwentyBytesAndBansRefuse) {
  std::vector<std::string> taken{"alice", "bob", "bob2", "abcdefghijklmnopqrst", "server"};
  const auto isTaken = [&](const std::string& n) {
    std::string lower = n;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    return std::find(taken.begin(), taken.end(), lower) != taken.end();
  };
  EXPECT_EQ(uniquePlayerName("Carol", isTaken), "Carol");
  EXPECT_EQ(uniquePlayerName("Alice", isTaken), "Alice2");
  EXPECT_EQ(uniquePlayerName("Bob", isTaken), "Bob3") << "the lowest free number";
  EXPECT_EQ(uniquePlayerName("abcdefghijklmnopqrst", isTaken), "abcdefghijklmnopqrs2");

  // The host's own name counts as taken; a banned name or address is refused at once.
  HostWithWorld h;
  h.host.setHostPlayerName("Server");
  NetBans bans;
  bans.names = {"MALLORY"};
  h.host.setBans(bans);
  RawPeer server, mallory;
  server.send(h.at(), datagram(kConnect, 1, 0, connectPayload("server")));
  mallory.send(h.at(), datagram(kConnect, 1, 0, connectPayload(" Mallory ")));
  h.step(0.01);
  const std::optional<RawDatagram> refusal = mallory.receive();
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->type, kReject);
  EXPECT_EQ(refusal->payload, Bytes().str("You are banned from this server").b);
  const std::optional<RawDatagram> welcome = server.receive();
  ASSERT_TRUE(welcome);
  server.send(h.at(), datagram(kPing, 0, welcome->seq, Bytes().u32(0).b));
  h.step(0.01);
  ASSERT_EQ(h.events.count(NetEventKind::PeerConfirmed), 1u);
  EXPECT_EQ(h.events.first(NetEventKind::PeerConfirmed)->name, "server2");

  bans.names.clear();
  bans.addresses = {kIpv4Loopback};
  h.host.setBans(bans);
  RawPeer other;
  other.send(h.at(), datagram(kConnect, 1, 0, connectPayload("Other")));
  h.step(0.01);
  const std::optional<RawDatagram> byAddress = other.receive();
  ASSERT_TRUE(byAddress);
  EXPECT_EQ(byAddress->type, kReject);
  EXPECT_EQ(h.host.peers().size(), 1u);
}
