// Datagrams that no well-behaved peer sends: truncated at every length, with lying
// counts, bad floats, foreign magic or version, unknown types. None of them may crash,
// raise an event or change the session. From the peer, a bad reliable message still
// takes its sequence number and is acknowledged, so the connection goes on; from anyone
// else nothing counts. The sanitizer build runs these too.

#include <cmath>
#include <functional>
#include <limits>
#include <tuple>

#include "net/net_session.h"
#include "net/net_wire.h"
#include "net_test_support.h"

namespace {

struct Sample {
  uint8_t type;
  std::vector<uint8_t> payload;
};

std::vector<uint8_t> mobEntry(float x) {
  return Bytes().u32(7).f32(x).f32(2).f32(3).f32(0.5f).u8(1).u8(5).u8(1).b;
}
std::vector<uint8_t> dropEntry(float age) {
  return Bytes().u32(8).f32(1).f32(2).f32(3).u16(4).u16(5).f32(age).b;
}
std::vector<uint8_t> batchEntry() {
  return Bytes().u32(1).u32(2).u32(3).u16(4).u8(255).b;
}

// One valid payload of every type a client receives.
std::vector<Sample> clientBound() {
  return {
      {2, Bytes().u32(2).u32(9).f32(1).f32(2).f32(3).f32(0.5f).u8(1).str("H").b},
      {3, Bytes().str("no").b},
      {5, Bytes().u16(2).raw(batchEntry()).raw(batchEntry()).b},
      {7, Bytes().u32(1).f32(1).f32(2).f32(3).f32(4).f32(5).u8(1).u8(20).u8(0).b},
      {8, Bytes().f32(0.5f).u8(1).b},
      {9, Bytes().u8(2).raw(mobEntry(1)).raw(mobEntry(2)).b},
      {10, Bytes().u8(2).raw(dropEntry(1)).raw(dropEntry(2)).b},
      {11, Bytes().u32(5).str("Bob").b},
      {12, Bytes().u32(5).b},
      {13, Bytes().str("Bob").str("hi").b},
      {14, Bytes().u32(1).u16(2).u16(3).b},
      {17, Bytes().str("bye").b},
      {19, Bytes().u32(0).b},
  };
}

// One valid payload of every type a host receives.
std::vector<Sample> hostBound() {
  return {
      {1, connectPayload("Eve")},
      {6, Bytes().u32(1).u32(2).u32(3).u16(4).u8(1).b},
      {7, Bytes().u32(1).f32(1).f32(2).f32(3).f32(4).f32(5).u8(1).u8(20).u8(0).b},
      {13, Bytes().str("hi").b},
      {15, Bytes().u32(3).b},
      {16, Bytes().u32(4).b},
      {17, Bytes().str("bye").b},
      {18, Bytes().u32(0).b},
  };
}

// Payloads that are complete but lie or carry what a receiver must refuse.
std::vector<Sample> malformedForClient() {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  std::vector<Sample> s = {
      {5, Bytes().u16(3).raw(batchEntry()).raw(batchEntry()).b},  // count above the entries
      {5, Bytes().u16(513).raw(batchEntry()).b},
      {9, Bytes().u8(3).raw(mobEntry(1)).raw(mobEntry(2)).b},
      {9, Bytes().u8(1).raw(mobEntry(nan)).b},
      {10, Bytes().u8(1).raw(dropEntry(inf)).b},
      {2, Bytes().u32(2).u32(9).f32(nan).f32(2).f32(3).f32(0.5f).u8(1).str("H").b},
      {7, Bytes().u32(1).f32(1).f32(-inf).f32(3).f32(4).f32(5).u8(1).u8(20).u8(0).b},
      {8, Bytes().f32(nan).u8(1).b},
      {13, Bytes().str("Bob").u16(500).str("hi").b},  // text length past the end
      {1, connectPayload("Eve")},                     // host-bound types
      {18, Bytes().u32(0).b},
      {0, {}},
      {20, Bytes().u32(1).b},
      {255, Bytes().u32(1).b},
  };
  Bytes mobs41, drops41;
  mobs41.u8(41);
  drops41.u8(41);
  for (int i = 0; i < 41; ++i) {
    mobs41.raw(mobEntry(1));
    drops41.raw(dropEntry(1));
  }
  s.push_back({9, mobs41.b});
  s.push_back({10, drops41.b});
  return s;
}

// Every strict prefix of each sample, unreliable and reliable. Reliable copies are
// numbered from `seq` on, which is left at the next free number; a fixed `step` of 0
// gives them all the same number.
std::vector<std::vector<uint8_t>> truncations(const std::vector<Sample>& samples, uint32_t& seq,
                                              uint32_t step = 1) {
  std::vector<std::vector<uint8_t>> out;
  for (const Sample& s : samples) {
    for (size_t n = 0; n < s.payload.size(); ++n) {
      const std::vector<uint8_t> cut(s.payload.begin(), s.payload.begin() + n);
      out.push_back(datagram(s.type, seq, 0, cut));
      out.push_back(datagram(s.type, 0, 0, cut));
      seq += step;
    }
  }
  return out;
}

// Datagrams whose header alone disqualifies them, numbered `seq` (the next free number,
// so that any of them taken for real would show).
std::vector<std::vector<uint8_t>> badHeaders(uint8_t validType, const std::vector<uint8_t>& payload,
                                             uint32_t seq) {
  std::vector<uint8_t> magic = datagram(validType, seq, 0, payload);
  magic[0] = 'X';
  std::vector<uint8_t> oversized = datagram(validType, seq, 0, payload);
  oversized.resize(1300, 0xAB);  // longer than the receive buffer
  const std::vector<uint8_t> full = datagram(validType, seq, 0, payload);
  return {magic,
          datagram(validType, seq, 0, payload, 1),
          datagram(validType, seq, 0, payload, 3),
          oversized,
          std::vector<uint8_t>(full.begin(), full.begin() + 18),
          {},
          {'O', 'V', 'N', 'P'}};
}

struct PeerState {
  uint32_t playerId, nextRecvSeq, nextSendSeq;
  size_t held, unacked, queue;
  bool closed;
  double lastHeard;
  std::string name;
  bool operator==(const PeerState&) const = default;
};

struct SessionState {
  bool active;
  uint32_t ownId;
  int roundTripMs;
  std::vector<PeerState> peers;
  bool operator==(const SessionState&) const = default;
};

PeerState peerState(const NetPeer& p) {
  return {p.playerId,     p.nextRecvSeq, p.nextSendSeq, p.held.size(), p.unacked.size(),
          p.queue.size(), p.closed,      p.lastHeard,   p.name};
}

SessionState stateOf(const NetSession& s) {
  SessionState st{s.active(), s.ownId(), s.roundTripMs(), {}};
  if (s.isHost()) {
    for (const NetPeer& p : s.peers()) st.peers.push_back(peerState(p));
  } else {
    st.peers.push_back(peerState(s.server()));
  }
  return st;
}

// Sends the datagrams a few at a time so that none is lost to a full socket buffer.
void sendAll(RawPeer& from, const Ipv4Endpoint& to,
             const std::vector<std::vector<uint8_t>>& datagrams, NetSession& receiver) {
  for (size_t i = 0; i < datagrams.size(); ++i) {
    from.send(to, datagrams[i]);
    if (i % 64 == 63) settle({&receiver}, 2);
  }
  settle({&receiver}, 5);
}

void PrintTo(const SessionState& s, std::ostream* os) {
  *os << "active=" << s.active << " own=" << s.ownId << " rtt=" << s.roundTripMs;
  for (const PeerState& p : s.peers) {
    *os << " [id=" << p.playerId << " recv=" << p.nextRecvSeq << " send=" << p.nextSendSeq
        << " held=" << p.held << " unacked=" << p.unacked << " closed=" << p.closed
        << " heard=" << p.lastHeard << " name=" << p.name << "]";
  }
}

}  // namespace

TEST(HostileDatagrams, ClientIgnoresTruncatedLyingAndForeignDatagrams) {
  ManualClock clock;
  RawPeer host;
  NetSession client(clock.fn());
  std::string error;
  ASSERT_TRUE(client.connect(host.endpoint(), "Tester", error));
  const Ipv4Endpoint at{kIpv4Loopback, client.localPort()};
  settle({&client});
  clock.now += 0.1;  // a later arrival moves lastHeard
  const SessionState before = stateOf(client);

  // Each bad reliable message under a number of its own, so that each one is handled.
  uint32_t seq = 1;
  std::vector<std::vector<uint8_t>> junk = truncations(clientBound(), seq);
  for (const Sample& s : malformedForClient()) {
    junk.push_back(datagram(s.type, seq++, 0, s.payload));
    junk.push_back(datagram(s.type, 0, 0, s.payload));
  }
  for (std::vector<uint8_t>& d : badHeaders(12, Bytes().u32(5).b, seq)) {
    junk.push_back(std::move(d));
  }
  sendAll(host, at, junk, client);
  RawPeer stranger;  // a valid message from anyone but the host
  stranger.send(at, datagram(12, seq, 0, Bytes().u32(5).b));
  settle({&client});

  EXPECT_TRUE(client.takeEvents().empty());
  SessionState expected = before;
  expected.peers[0].nextRecvSeq = seq;  // the host's bad messages took their numbers
  expected.peers[0].lastHeard = clock.now;
  EXPECT_EQ(stateOf(client), expected);

  host.send(at, datagram(12, seq, 0, Bytes().u32(77).b));
  settle({&client});
  const std::vector<NetEvent> events = client.takeEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, NetEventKind::PlayerLeft);
  EXPECT_EQ(events[0].playerId, 77u);
}

TEST(HostileDatagrams, HostIgnoresTruncatedLyingAndForeignDatagrams) {
  ManualClock clock;
  NetSession host(clock.fn());
  std::string error;
  ASSERT_TRUE(host.startHost(0, error));
  const Ipv4Endpoint at{kIpv4Loopback, host.localPort()};
  RawPeer player, stranger;
  player.send(at, datagram(1, 1, 0, connectPayload("Ann")));
  settle({&host});
  ASSERT_EQ(host.takeEvents().size(), 1u);
  // Welcomed, and a bare Ack of its Welcome shows that it receives: a player now.
  host.sendWelcome(2, 1, 0, 0, 0, 0, 0, "H");
  player.send(at, datagram(20, 0, 1));
  settle({&host});
  ASSERT_EQ(host.takeEvents().size(), 1u);
  player.receiveAll();
  clock.now += 0.1;
  const SessionState before = stateOf(host);

  uint32_t seq = 2;
  std::vector<std::vector<uint8_t>> junk = truncations(hostBound(), seq);
  for (const Sample& s : clientBound()) {
    if (s.type != 7 && s.type != 13 && s.type != 17) {  // those go both ways
      junk.push_back(datagram(s.type, seq++, 0, s.payload));
    }
  }
  junk.push_back(datagram(20, seq++, 0, Bytes().u32(1).b));
  junk.push_back(
      datagram(7, 0, 0, Bytes().u32(1).f32(NAN).f32(2).f32(3).f32(4).f32(5).u8(1).u8(20).u8(0).b));
  for (std::vector<uint8_t>& d : badHeaders(6, hostBound()[1].payload, seq)) junk.push_back(d);
  sendAll(player, at, junk, host);

  // A stranger is heard only through a complete, reliable Connect.
  uint32_t first = 1;
  std::vector<std::vector<uint8_t>> strange = truncations({hostBound()[0]}, first, 0);
  for (const Sample& s : hostBound()) {
    if (s.type != 1) strange.push_back(datagram(s.type, 1, 0, s.payload));
  }
  strange.push_back(datagram(1, 0, 0, connectPayload("Eve")));
  sendAll(stranger, at, strange, host);

  for (const NetEvent& e : host.takeEvents()) ADD_FAILURE() << "event " << int(e.kind);
  SessionState expected = before;
  expected.peers[0].nextRecvSeq = seq;  // the player's bad messages took their numbers
  expected.peers[0].lastHeard = clock.now;
  EXPECT_EQ(stateOf(host), expected);
  // No reply, not even a Pong: only bare acknowledgements of the numbers they took.
  for (const RawDatagram& d : player.receiveAll()) {
    EXPECT_EQ(d.type, 20);
    EXPECT_TRUE(d.payload.empty());
    EXPECT_LT(d.ack, seq);
  }
  EXPECT_TRUE(stranger.receiveAll().empty());

  player.send(at, datagram(6, seq, 0, hostBound()[1].payload));
  stranger.send(at, datagram(1, 1, 0, connectPayload("Eve")));
  settle({&host});
  const std::vector<NetEvent> events = host.takeEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, NetEventKind::EditRequest);
  EXPECT_EQ(events[1].kind, NetEventKind::PeerJoined);
  EXPECT_EQ(events[1].playerId, 3u) << "no player id was spent on the junk";
}

// A join between the game's own host and client in which each side first sends, reliably,
// messages the other cannot use: a truncated Welcome, a Welcome with a NaN coordinate,
// a truncated EditRequest, and types the receiving end never gets. Each bad message must
// be acknowledged and passed over, or its resends would hold up everything behind it.
TEST(HostileDatagrams, UnusableReliableMessagesDoNotStallTheJoin) {
  NetSession host, client;
  std::string error;
  ASSERT_TRUE(host.startHost(0, error)) << error;
  ASSERT_TRUE(client.connect({kIpv4Loopback, host.localPort()}, "Tester", error));
  EventLog h, c;
  auto until = [&](const std::function<bool()>& done) {
    return pumpUntil({&host, &client}, [&] {
      h.take(host);
      c.take(client);
      return done();
    });
  };
  ASSERT_TRUE(until([&] { return h.count(NetEventKind::PeerJoined) == 1; }));
  const uint32_t id = h.all[0].playerId;

  auto welcome = [&](float x) {
    return Bytes().u32(id).u32(77).f32(x).f32(30).f32(-2.5f).f32(0.25f).u8(2).str("Hosty").b;
  };
  const std::vector<uint8_t> whole = welcome(1.5f);
  host.sendMessage(id, NetMessageType::Welcome, {whole.begin(), whole.end() - 2}, true);
  host.sendMessage(id, NetMessageType::Welcome, welcome(std::numeric_limits<float>::quiet_NaN()),
                   true);
  host.sendMessage(id, NetMessageType::Connect, connectPayload("Host"), true);
  host.sendWelcome(id, 77, 1.5f, 30, -2.5f, 0.25f, 2, "Hosty");
  std::vector<BlockChange> changes;
  for (int i = 0; i < 150; ++i) changes.push_back({i, 20, 2 * i, 3, kNoLevel});
  host.sendBlockBatches(id, changes);
  host.sendPlayerJoined(id, 1, "Hosty");
  host.sendReady(id);
  ASSERT_TRUE(until([&] { return c.count(NetEventKind::Ready) == 1; }))
      << "client events: " << c.all.size();

  client.sendMessage(0, NetMessageType::EditRequest, Bytes().u32(12).u32(31).u32(12).b, true);
  client.sendMessage(0, NetMessageType::Ready, {}, true);
  client.sendMessage(0, NetMessageType::Welcome, whole, true);
  client.sendEditRequest(12, 31, 12, 10, 1);
  client.sendChat("made it");
  ASSERT_TRUE(until([&] { return h.count(NetEventKind::Chat) == 1; }))
      << "host events: " << h.all.size();
  EXPECT_TRUE(until([&] {
    return host.peers().size() == 1 && host.peers()[0].unacked.empty() &&
           client.server().unacked.empty();
  })) << "every message, bad ones included, is acknowledged";

  std::vector<NetEventKind> kinds;
  std::vector<BlockChange> received;
  for (const NetEvent& e : c.all) {
    kinds.push_back(e.kind);
    received.insert(received.end(), e.changes.begin(), e.changes.end());
  }
  using K = NetEventKind;
  EXPECT_EQ(kinds, (std::vector<K>{K::Welcome, K::BlockBatch, K::BlockBatch, K::BlockBatch,
                                   K::PlayerJoined, K::Ready}));
  EXPECT_EQ(received, changes);
  const NetEvent* w = c.first(K::Welcome);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(std::tie(w->playerId, w->seed, w->x, w->name),
            std::make_tuple(id, 77u, 1.5f, std::string("Hosty")));
  EXPECT_EQ(client.ownId(), id);
  EXPECT_TRUE(client.active());

  ASSERT_EQ(h.all.size(), 4u);
  EXPECT_EQ(h.all[1].kind, K::PeerConfirmed);  // the client acknowledged its Welcome
  EXPECT_EQ(h.all[2].kind, K::EditRequest);
  EXPECT_EQ(std::tie(h.all[2].blockX, h.all[2].blockY, h.all[2].blockZ, h.all[2].blockId),
            std::make_tuple(12, 31, 12, uint16_t{10}));
  EXPECT_EQ(h.all[3].kind, K::Chat);
  EXPECT_EQ(h.all[3].text, "made it");
}

// Bad reliable messages that arrive ahead of their turn are held like any other and
// passed over when it comes; the acknowledgement covers them.
TEST(HostileDatagrams, UnusableMessagesAheadOfOrderTakeTheirTurn) {
  ManualClock clock;
  RawPeer host;
  NetSession client(clock.fn());
  std::string error;
  ASSERT_TRUE(client.connect(host.endpoint(), "Tester", error));
  const Ipv4Endpoint at{kIpv4Loopback, client.localPort()};
  const std::vector<uint8_t> welcome = clientBound()[0].payload;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  host.send(at, datagram(2, 3, 0,
                         Bytes().u32(2).u32(9).f32(1).f32(nan).f32(3).f32(0.5f).u8(1).str("H").b));
  host.send(at, datagram(18, 2, 0, Bytes().u32(0).b));  // a Ping, which only hosts get
  settle({&client});
  EXPECT_EQ(client.server().held.size(), 2u);
  host.send(at, datagram(2, 1, 0, {welcome.begin(), welcome.begin() + 9}));
  host.send(at, datagram(4, 5, 0));
  host.send(at, datagram(2, 4, 0, welcome));
  settle({&client});

  const std::vector<NetEvent> events = client.takeEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, NetEventKind::Welcome);
  EXPECT_EQ(events[1].kind, NetEventKind::Ready);
  EXPECT_EQ(client.ownId(), 2u);
  EXPECT_TRUE(client.server().held.empty());

  host.receiveAll();
  clock.now += 0.25;  // due for a ping, which carries the acknowledgement
  client.update();
  std::optional<RawDatagram> ping = host.receive();
  ASSERT_TRUE(ping);
  EXPECT_EQ(ping->type, 18);
  EXPECT_EQ(ping->ack, 5u);
}

TEST(HostileDatagrams, MessagesFarAheadAreNotHeld) {
  ManualClock clock;
  RawPeer host;
  NetSession client(clock.fn());
  std::string error;
  ASSERT_TRUE(client.connect(host.endpoint(), "Tester", error));
  const Ipv4Endpoint at{kIpv4Loopback, client.localPort()};
  for (uint32_t seq : {kHeldWindow, kHeldWindow + 1, 0xFFFFFFFFu}) {
    host.send(at, datagram(12, seq, 0, Bytes().u32(seq).b));
  }
  settle({&client});
  ASSERT_EQ(client.server().held.size(), 1u);
  EXPECT_EQ(client.server().held.begin()->first, kHeldWindow);
}

TEST(WireLimits, BlockBatchOf512EntriesIsReadAnd513IsRefused) {
  std::vector<BlockChange> changes(513, BlockChange{1, 2, 3, 4, 5});
  std::vector<uint8_t> payload = encodeBlockBatch(changes.data(), 512);
  std::optional<DecodedMessage> m =
      decodeMessage(NetReceiver::Client, 5, payload.data(), payload.size());
  ASSERT_TRUE(m);
  EXPECT_EQ(m->event.changes.size(), 512u);
  EXPECT_EQ(m->event.changes[511], changes[0]);

  payload = encodeBlockBatch(changes.data(), 513);
  EXPECT_FALSE(decodeMessage(NetReceiver::Client, 5, payload.data(), payload.size()));
  payload = encodeBlockBatch(changes.data(), 78);
  EXPECT_LE(payload.size(), kMaxPayloadBytes) << "the most entries one datagram carries";
}

TEST(WireLimits, TrailingBytesAfterTheLastFieldAreIgnored) {
  std::vector<uint8_t> payload = Bytes().u32(5).u8(0xEE).u8(0xEE).b;
  std::optional<DecodedMessage> m =
      decodeMessage(NetReceiver::Client, 12, payload.data(), payload.size());
  ASSERT_TRUE(m);
  EXPECT_EQ(m->event.playerId, 5u);
}
