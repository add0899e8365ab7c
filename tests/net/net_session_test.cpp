// NetSession over real sockets on 127.0.0.1: a host and a client of the game's own, or
// one of them against a bare endpoint that speaks the wire format by hand.

#include <algorithm>
#include <tuple>

#include "net/net_session.h"
#include "net_test_support.h"

namespace {

constexpr uint8_t kConnect = 1, kWelcome = 2, kReject = 3, kReady = 4, kBatch = 5, kChat = 13,
                  kPlayerLeft = 12, kDisconnect = 17, kPing = 18, kPong = 19;

// A client of the game joined to a hand-driven host.
struct ClientOfRawHost {
  ManualClock clock;
  RawPeer host;
  NetSession client{clock.fn()};
  RawDatagram connect;

  ClientOfRawHost() {
    std::string error;
    EXPECT_TRUE(client.connect(host.endpoint(), "Tester", error));
    std::optional<RawDatagram> d = host.receive();
    EXPECT_TRUE(d && d->type == kConnect);
    if (d) connect = *d;
  }
  Ipv4Endpoint clientAt() const { return {kIpv4Loopback, client.localPort()}; }
  void send(const std::vector<uint8_t>& bytes) { host.send(clientAt(), bytes); }
};

// A host of the game with hand-driven clients.
struct HostOfRawClients {
  ManualClock clock;
  NetSession host{clock.fn()};
  EventLog events;

  HostOfRawClients() {
    std::string error;
    EXPECT_TRUE(host.startHost(0, error)) << error;
  }
  Ipv4Endpoint at() const { return {kIpv4Loopback, host.localPort()}; }
  // Sends Connect from `peer` and returns the player id the host gave it (0: none).
  uint32_t join(RawPeer& peer, const std::string& name) {
    peer.send(at(), datagram(kConnect, 1, 0, connectPayload(name)));
    const size_t before = events.count(NetEventKind::PeerJoined);
    pumpUntil({&host}, [&] {
      events.take(host);
      return events.count(NetEventKind::PeerJoined) > before;
    });
    return events.count(NetEventKind::PeerJoined) > before ? events.all.back().playerId : 0;
  }
};

std::vector<BlockChange> someChanges(size_t n) {
  std::vector<BlockChange> c;
  for (size_t i = 0; i < n; ++i) {
    c.push_back({static_cast<int32_t>(i), 5, -static_cast<int32_t>(i), 3, kNoLevel});
  }
  return c;
}

}  // namespace

TEST(NetSessionJoin, HostAndClientExchangeEveryMessageKind) {
  NetSession host, client;
  std::string error;
  ASSERT_TRUE(host.startHost(0, error)) << error;
  ASSERT_TRUE(client.connect({kIpv4Loopback, host.localPort()}, "  Te\x01ster  ", error));
  EventLog h, c;
  auto until = [&](auto done) {
    return pumpUntil({&host, &client}, [&] {
      h.take(host);
      c.take(client);
      return done();
    });
  };

  ASSERT_TRUE(until([&] { return h.count(NetEventKind::PeerJoined) == 1; }));
  EXPECT_EQ(h.all[0].playerId, 2u);
  EXPECT_EQ(h.all[0].name, "Tester");
  EXPECT_TRUE(host.welcomedPlayerIds().empty()) << "accepted is not yet welcomed";

  host.sendWelcome(2, 77, 1.5f, 30, -2.5f, 0.25f, 2, "");
  const std::vector<BlockChange> changes = someChanges(130);
  host.sendBlockBatches(2, changes);
  host.sendPlayerJoined(2, 1, "Hosty");
  host.sendReady(2);
  // Broadcasts reach the newcomer once it has acknowledged its Welcome.
  ASSERT_TRUE(until([&] { return h.count(NetEventKind::PeerConfirmed) == 1; }));
  host.broadcastChat("Hosty", "hi all", 0);
  host.sendPickupGranted(2, -5, 3, 9);
  host.sendPlayerJoined(9, 1, "nobody");  // no such player: nothing
  ASSERT_TRUE(until([&] { return c.count(NetEventKind::PickupGranted) == 1; }));
  EXPECT_EQ(host.welcomedPlayerIds(), std::vector<uint32_t>{2});

  const NetEvent* w = c.first(NetEventKind::Welcome);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->playerId, 2u);
  EXPECT_EQ(w->seed, 77u);
  EXPECT_EQ(w->x, 1.5f);
  EXPECT_EQ(w->y, 30.0f);
  EXPECT_EQ(w->z, -2.5f);
  EXPECT_EQ(w->timeOfDay, 0.25f);
  EXPECT_EQ(w->weather, 2);
  EXPECT_EQ(w->name, "Host") << "an empty host name";
  EXPECT_EQ(client.ownId(), 2u);

  std::vector<size_t> batchSizes;
  std::vector<BlockChange> received;
  std::vector<NetEventKind> reliableOrder;
  for (const NetEvent& e : c.all) {
    reliableOrder.push_back(e.kind);
    if (e.kind != NetEventKind::BlockBatch) continue;
    batchSizes.push_back(e.changes.size());
    received.insert(received.end(), e.changes.begin(), e.changes.end());
  }
  EXPECT_EQ(batchSizes, (std::vector<size_t>{64, 64, 2}));
  EXPECT_EQ(received, changes);
  EXPECT_EQ(reliableOrder.back(), NetEventKind::PickupGranted);
  const NetEvent* joined = c.first(NetEventKind::PlayerJoined);
  ASSERT_NE(joined, nullptr);
  EXPECT_EQ(joined->playerId, 1u);
  EXPECT_EQ(joined->name, "Hosty");
  EXPECT_EQ(c.count(NetEventKind::PlayerJoined), 1u);
  EXPECT_EQ(c.count(NetEventKind::Ready), 1u);
  const NetEvent* chat = c.first(NetEventKind::Chat);
  ASSERT_NE(chat, nullptr);
  EXPECT_EQ(chat->name, "Hosty");
  EXPECT_EQ(chat->text, "hi all");
  const NetEvent* granted = c.first(NetEventKind::PickupGranted);
  EXPECT_EQ(static_cast<int32_t>(granted->dropId), -5);
  EXPECT_EQ(granted->itemId, 3);
  EXPECT_EQ(granted->count, 9);

  // Unreliable host messages, with the lists' limits and clamps.
  std::vector<NetMob> mobs(41);
  host.sendMobList(2, mobs);  // over 40: nothing
  mobs.resize(2);
  mobs[0] = {7, 1, 2, 3, 0.5f, 1, 300, kMobFlagMoving | kMobFlagDamageFlash};
  host.sendMobList(2, mobs);
  host.sendDropList(2, {{4, 1, 2, 3, 11, 70000, 1.25f}});
  host.broadcastTimeWeather(0.75f, 1);
  NetPlayerState own{1, 4, 5, 6, 0.1f, 0.2f, 1, 999, true, true};
  host.broadcastPlayerState(own);
  NetPlayerState echo = own;
  echo.playerId = 2;
  host.broadcastPlayerState(echo);  // never sent back to its own player
  ASSERT_TRUE(until([&] {
    return c.count(NetEventKind::MobList) && c.count(NetEventKind::DropList) &&
           c.count(NetEventKind::TimeWeather) && c.count(NetEventKind::PlayerState);
  })) << c.count(NetEventKind::MobList)
      << c.count(NetEventKind::DropList) << c.count(NetEventKind::TimeWeather)
      << c.count(NetEventKind::PlayerState);
  settle({&host, &client});
  c.take(client);
  EXPECT_EQ(c.count(NetEventKind::MobList), 1u);
  EXPECT_EQ(c.count(NetEventKind::DropList), 1u);
  EXPECT_EQ(c.count(NetEventKind::TimeWeather), 1u);
  EXPECT_EQ(c.first(NetEventKind::MobList)->mobs[0].hitPoints, 127);
  EXPECT_EQ(c.first(NetEventKind::MobList)->mobs[0].flags, 3);
  EXPECT_EQ(c.first(NetEventKind::DropList)->drops[0].count, 65535u);
  EXPECT_EQ(c.first(NetEventKind::TimeWeather)->timeOfDay, 0.75f);
  EXPECT_EQ(c.count(NetEventKind::PlayerState), 1u);
  EXPECT_EQ(c.first(NetEventKind::PlayerState)->hitPoints, 255);
  EXPECT_TRUE(c.first(NetEventKind::PlayerState)->flying);

  // Client requests: the host stamps the sender's id, whatever the payload claims.
  client.sendPlayerState({99, 8, 9, 10, 1, 2, 2, 17, false, true});
  client.sendEditRequest(12, 31, 12, 10, 1);
  client.sendChat("");
  client.sendChat("hello");
  client.sendAttackMob(71);
  client.sendPickupRequest(72);
  ASSERT_TRUE(until([&] { return h.count(NetEventKind::PickupRequest) == 1; }));
  settle({&host, &client});
  h.take(host);
  const NetEvent* state = h.first(NetEventKind::PlayerState);
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state->playerId, 2u);
  EXPECT_EQ(state->x, 8.0f);
  EXPECT_TRUE(host.peers()[0].lastState.valid);
  EXPECT_EQ(host.peers()[0].lastState.hitPoints, 17);
  const NetEvent* edit = h.first(NetEventKind::EditRequest);
  EXPECT_EQ(edit->playerId, 2u);
  EXPECT_EQ(std::tie(edit->blockX, edit->blockY, edit->blockZ), std::make_tuple(12, 31, 12));
  EXPECT_EQ(edit->blockId, 10);
  EXPECT_EQ(edit->editGameMode, 1);
  EXPECT_EQ(h.count(NetEventKind::Chat), 1u) << "an empty chat line raises nothing";
  EXPECT_EQ(h.first(NetEventKind::Chat)->name, "Tester");
  EXPECT_EQ(h.first(NetEventKind::Chat)->text, "hello");
  EXPECT_EQ(h.first(NetEventKind::AttackMob)->mobId, 71u);
  EXPECT_EQ(h.first(NetEventKind::PickupRequest)->dropId, 72u);

  client.shutdown();
  EXPECT_FALSE(client.active());
  ASSERT_TRUE(until([&] { return h.count(NetEventKind::PeerLeft) == 1; }));
  EXPECT_EQ(h.first(NetEventKind::PeerLeft)->playerId, 2u);
  EXPECT_TRUE(host.peers().empty());
}

TEST(NetSessionJoin, SecondHostOnTheSamePortFails) {
  NetSession first, second;
  std::string error;
  ASSERT_TRUE(first.startHost(0, error));
  const uint16_t port = first.localPort();
  EXPECT_FALSE(second.startHost(port, error));
  EXPECT_EQ(error, "Port " + std::to_string(port) + " is already in use");
  EXPECT_FALSE(second.active());
  EXPECT_EQ(second.localPort(), 0) << "the socket is closed again";
}

TEST(NetSessionWire, ConnectAndWelcomeHaveTheDocumentedBytes) {
  ClientOfRawHost t;
  EXPECT_EQ(t.connect.flags, 1);
  EXPECT_EQ(t.connect.seq, 1u);
  EXPECT_EQ(t.connect.ack, 0u);
  EXPECT_EQ(t.connect.payload, connectPayload("Tester"));

  HostOfRawClients h;
  RawPeer peer;
  ASSERT_EQ(h.join(peer, "Ann"), 2u);
  h.host.sendWelcome(2, 0x01020304, 1.0f, 2.0f, 3.0f, 0.5f, 1, "Bo");
  std::optional<RawDatagram> w = peer.receive();
  ASSERT_TRUE(w);
  EXPECT_EQ(w->type, kWelcome);
  EXPECT_EQ(w->seq, 1u);
  EXPECT_EQ(w->ack, 1u) << "the Connect was received in order";
  EXPECT_EQ(w->payload,
            Bytes().u32(2).u32(0x01020304).f32(1).f32(2).f32(3).f32(0.5f).u8(1).str("Bo").b);
}

TEST(NetSessionLimits, LargestPayloadIsSentAndOneMoreByteSendsNothing) {
  ClientOfRawHost t;
  t.client.sendMessage(0, NetMessageType::Chat, std::vector<uint8_t>(1181, 'a'), true);
  std::optional<RawDatagram> d = t.host.receiveSkipping(kPing);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->payload.size(), 1181u);
  EXPECT_EQ(d->seq, 2u);

  t.client.sendMessage(0, NetMessageType::Chat, std::vector<uint8_t>(1182, 'a'), true);
  t.client.sendChat("x");
  t.client.sendMessage(0, NetMessageType::Chat, std::vector<uint8_t>(1182, 'a'), false);
  d = t.host.receiveSkipping(kPing);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->seq, 3u) << "the dropped payload took no sequence number";
  EXPECT_EQ(d->payload, Bytes().str("x").b);
  EXPECT_FALSE(t.host.receiveSkipping(kPing, 30));
}

TEST(NetSessionLimits, HeaderOnlyDatagramIsAnEmptyPayloadAndShorterIsIgnored) {
  ClientOfRawHost t;
  std::vector<uint8_t> ready = datagram(kReady, 0, 0);
  ASSERT_EQ(ready.size(), 19u);
  t.send(std::vector<uint8_t>(ready.begin(), ready.end() - 1));
  settle({&t.client});
  EXPECT_TRUE(t.client.takeEvents().empty());
  t.send(ready);
  settle({&t.client});
  const std::vector<NetEvent> events = t.client.takeEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, NetEventKind::Ready);
}

TEST(NetSessionReliability, EarlyMessagesWaitForTheirTurnAndRepeatsAreDropped) {
  ClientOfRawHost t;
  for (uint32_t seq : {3u, 2u, 1u, 2u}) {
    t.send(datagram(kPlayerLeft, seq, 0, Bytes().u32(seq * 10).b));
    settle({&t.client}, 5);
  }
  settle({&t.client});
  std::vector<uint32_t> order;
  for (const NetEvent& e : t.client.takeEvents()) order.push_back(e.playerId);
  EXPECT_EQ(order, (std::vector<uint32_t>{10, 20, 30}));
  EXPECT_EQ(t.client.server().nextRecvSeq, 4u);
  EXPECT_TRUE(t.client.server().held.empty());

  t.host.receiveAll();
  t.clock.now += 0.25;  // due for a ping, which carries the acknowledgement
  t.client.update();
  std::optional<RawDatagram> ping = t.host.receive();
  ASSERT_TRUE(ping);
  EXPECT_EQ(ping->type, kPing);
  EXPECT_EQ(ping->flags, 0);
  EXPECT_EQ(ping->ack, 3u);
}

TEST(NetSessionReliability, AcknowledgementRemovesEverythingUpToItsNumber) {
  ClientOfRawHost t;
  for (int i = 0; i < 7; ++i) t.client.sendChat("line");
  ASSERT_EQ(t.client.server().unacked.size(), 8u);  // Connect and seven lines
  auto pong = [&](uint32_t ack) {
    t.send(datagram(kPong, 0, ack, Bytes().u32(12345).b));
    settle({&t.client});
  };
  pong(0);
  EXPECT_EQ(t.client.server().unacked.size(), 8u);
  EXPECT_EQ(t.client.roundTripMs(), 0);

  t.clock.now += 0.0625;
  pong(5);
  ASSERT_EQ(t.client.server().unacked.size(), 3u);
  EXPECT_EQ(t.client.server().unacked.front().sequence, 6u);
  EXPECT_EQ(t.client.roundTripMs(), 62) << "first sample taken as it is";

  t.clock.now += 0.25;
  pong(8);
  EXPECT_TRUE(t.client.server().unacked.empty());
  EXPECT_GT(t.client.roundTripMs(), 62);
  EXPECT_LT(t.client.roundTripMs(), 312) << "later samples are smoothed";
}

TEST(NetSessionReliability, QueuedMessagesWaitForTheWindowAndDirectOnesOvertake) {
  ClientOfRawHost t;
  for (int i = 0; i < 200; ++i) t.client.sendChat("c" + std::to_string(i));
  EXPECT_EQ(t.client.server().unacked.size(), 128u);
  EXPECT_EQ(t.client.server().queue.size(), 73u);
  t.send(datagram(kPong, 0, 50, Bytes().u32(1).b));
  settle({&t.client});
  EXPECT_EQ(t.client.server().unacked.size(), 128u) << "the update refilled the window";
  EXPECT_EQ(t.client.server().queue.size(), 23u);

  HostOfRawClients h;
  RawPeer peer;
  const uint32_t id = h.join(peer, "Ann");
  h.host.sendWelcome(id, 1, 0, 0, 0, 0, 0, "H");
  std::vector<RawDatagram> got = peer.receiveAll();
  ASSERT_EQ(got.size(), 1u);
  peer.send(h.at(), datagram(kPing, 0, 1, Bytes().u32(0).b));  // acknowledges the Welcome
  settle({&h.host});
  peer.receiveAll();  // the Pong
  h.host.sendBlockBatches(id, someChanges(130 * 64));
  h.host.sendReady(id);
  got = peer.receiveAll();
  ASSERT_EQ(got.size(), 129u);  // 128 batches, then Ready
  EXPECT_EQ(got.back().type, kReady);
  EXPECT_EQ(got.back().seq, 130u);
  peer.send(h.at(), datagram(kPing, 0, 130, Bytes().u32(0).b));
  settle({&h.host});
  got = peer.receiveAll();
  ASSERT_EQ(got.size(), 3u);  // the last two batches after the Pong
  EXPECT_EQ(got.back().type, kBatch);
  EXPECT_EQ(got.back().seq, 132u);
}

TEST(NetSessionHandshake, VersionAndModListMismatchesAreRejected) {
  HostOfRawClients h;
  h.host.setModListHash(9);
  RawPeer oldClient, moddedClient;
  oldClient.send(h.at(), datagram(kConnect, 1, 0, connectPayload("Old", 1, 9)));
  moddedClient.send(h.at(), datagram(kConnect, 1, 0, connectPayload("Mod", 2, 5)));
  settle({&h.host});
  for (auto [peer, reason] : {std::pair{&oldClient, "Client and host versions do not match"},
                              std::pair{&moddedClient, "Mod lists do not match"}}) {
    std::optional<RawDatagram> d = peer->receive();
    ASSERT_TRUE(d);
    EXPECT_EQ(d->type, kReject);
    EXPECT_EQ(d->flags, 1);
    EXPECT_EQ(d->payload, Bytes().str(reason).b);
  }
  EXPECT_TRUE(h.host.takeEvents().empty()) << "no PeerJoined, and no PeerLeft either";
  EXPECT_TRUE(h.host.peers().empty()) << "rejected peers are removed by the next update";

  NetSession client;
  std::string error;
  ASSERT_TRUE(client.connect(h.at(), "Real", error));
  EventLog c;
  ASSERT_TRUE(pumpUntil({&h.host, &client}, [&] {
    c.take(client);
    return c.count(NetEventKind::Rejected) == 1;
  }));
  EXPECT_EQ(c.first(NetEventKind::Rejected)->text, "Mod lists do not match");
  EXPECT_FALSE(client.active());
}

TEST(NetSessionHandshake, SecondConnectChangesNothingAndNamesAreSanitised) {
  HostOfRawClients h;
  RawPeer a, b, c;
  ASSERT_EQ(h.join(a, "  Al\x07ice \t "), 2u);
  EXPECT_EQ(h.events.all.back().name, "Alice");
  a.send(h.at(), datagram(kConnect, 2, 0, connectPayload("Mallory")));
  settle({&h.host});
  EXPECT_TRUE(h.host.takeEvents().empty());
  ASSERT_EQ(h.host.peers().size(), 1u);
  EXPECT_EQ(h.host.peers()[0].name, "Alice");
  EXPECT_EQ(h.host.peers()[0].nextRecvSeq, 3u);

  EXPECT_EQ(h.join(b, "\x01\x02\x7f"), 3u) << "ids are not spent by a repeated Connect";
  EXPECT_EQ(h.events.all.back().name, "Player");
  EXPECT_EQ(h.join(c, "abcdefghijklmnopqrstuvwxyzABCD"), 4u);
  EXPECT_EQ(h.events.all.back().name, "abcdefghijklmnopqrst");
}

TEST(NetSessionHandshake, PlayerNamesKeepTwentyPrintableBytesTrimmed) {
  EXPECT_EQ(sanitizePlayerName(""), "Player");
  EXPECT_EQ(sanitizePlayerName("   "), "Player");
  EXPECT_EQ(sanitizePlayerName("\x1b[31mRed"), "[31mRed");
  EXPECT_EQ(sanitizePlayerName("caf\xc3\xa9"), "caf");
  EXPECT_EQ(sanitizePlayerName("                    Late"), "Player")
      << "collecting stops after 20 kept bytes, spaces included";
  EXPECT_EQ(sanitizePlayerName(" a b "), "a b");
}

TEST(NetSessionHandshake, EmptyReasonsBecomeTheDefaultTexts) {
  ClientOfRawHost rejected;
  rejected.send(datagram(kReject, 1, 1, Bytes().str("").b));
  settle({&rejected.client});
  std::vector<NetEvent> e = rejected.client.takeEvents();
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].kind, NetEventKind::Rejected);
  EXPECT_EQ(e[0].text, "Connection rejected");
  EXPECT_FALSE(rejected.client.active());

  ClientOfRawHost dropped;
  dropped.send(datagram(kDisconnect, 1, 1, Bytes().str("").b));
  dropped.send(datagram(kPlayerLeft, 2, 1, Bytes().u32(5).b));
  settle({&dropped.client});
  e = dropped.client.takeEvents();
  ASSERT_EQ(e.size(), 1u) << "nothing is handled after the host said goodbye";
  EXPECT_EQ(e[0].kind, NetEventKind::Disconnected);
  EXPECT_EQ(e[0].text, "Host closed the connection");
  EXPECT_FALSE(dropped.client.active());
}

TEST(NetSessionShutdown, GoodbyeIsSentThreeTimesWithItsOwnNumbers) {
  ClientOfRawHost t;
  t.client.shutdown();
  for (uint32_t seq : {2u, 3u, 4u}) {
    std::optional<RawDatagram> d = t.host.receiveSkipping(kPing);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->type, kDisconnect);
    EXPECT_EQ(d->seq, seq);
    EXPECT_EQ(d->payload, Bytes().str("Disconnected").b);
  }
  EXPECT_FALSE(t.client.active());
  EXPECT_EQ(t.client.localPort(), 0);
}

TEST(NetSessionTimeouts, UnansweredConnectIsResentTwelveTimesThenTheConnectionIsLost) {
  ClientOfRawHost t;
  int resends = 0;
  for (int step = 0; step < 20 && t.client.active(); ++step) {
    t.clock.now += 0.33;
    t.client.update();
    while (std::optional<RawDatagram> d = t.host.receiveSkipping(kPing, 5)) {
      EXPECT_EQ(d->type, kConnect);
      EXPECT_EQ(d->seq, 1u);
      EXPECT_EQ(d->payload, t.connect.payload) << "resent unchanged";
      ++resends;
    }
  }
  EXPECT_EQ(resends, 12);
  EXPECT_FALSE(t.client.active());
  const std::vector<NetEvent> e = t.client.takeEvents();
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].kind, NetEventKind::Disconnected);
  EXPECT_EQ(e[0].text, "Connection lost");
}

TEST(NetSessionTimeouts, ClientGivesUpAfterTwelveSilentSeconds) {
  ClientOfRawHost t;
  t.send(datagram(kPong, 0, 1, Bytes().u32(0).b));  // acknowledges the Connect
  settle({&t.client});
  t.clock.now += 11.9;
  t.client.update();
  EXPECT_TRUE(t.client.active());
  t.clock.now += 0.2;
  t.client.update();
  EXPECT_FALSE(t.client.active());
  const std::vector<NetEvent> e = t.client.takeEvents();
  ASSERT_EQ(e.size(), 1u);
  EXPECT_EQ(e[0].text, "Connection timed out");
}

// Ids announced to `peer` with PlayerLeft, each once.
std::vector<uint32_t> announcedLeavers(RawPeer& peer) {
  std::vector<uint32_t> ids;
  for (const RawDatagram& d : peer.receiveAll()) {
    if (d.type == kPlayerLeft && d.payload.size() == 4) ids.push_back(readLe32(d.payload.data()));
  }
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  return ids;
}

// A host whose first player keeps talking while the test steps the clock.
struct HostWithTalker : HostOfRawClients {
  RawPeer talker;
  uint32_t talkerId = join(talker, "Talker");
  void step(double seconds) {
    clock.now += seconds;
    talker.send(at(), datagram(kPing, 0, 1000, Bytes().u32(0).b));
    settle({&host}, 3);
    events.take(host);
  }
};

TEST(NetSessionTimeouts, HostRemovesAPeerSilentForFifteenSecondsAndTellsTheOthers) {
  HostWithTalker h;
  RawPeer silent;
  const uint32_t silentId = h.join(silent, "Silent");
  for (uint32_t id : {h.talkerId, silentId}) h.host.sendWelcome(id, 1, 0, 0, 0, 0, 0, "H");
  silent.send(h.at(), datagram(kPing, 0, 1, Bytes().u32(0).b));  // acknowledges Welcome
  settle({&h.host});
  while (h.clock.now < 114.4) h.step(0.5);
  EXPECT_EQ(h.host.peers().size(), 2u) << "silent for less than 15 s";
  EXPECT_EQ(h.events.count(NetEventKind::PeerLeft), 0u);
  h.step(1.0);
  ASSERT_EQ(h.events.count(NetEventKind::PeerLeft), 1u);
  EXPECT_EQ(h.events.first(NetEventKind::PeerLeft)->playerId, silentId);
  ASSERT_EQ(h.host.peers().size(), 1u);
  EXPECT_EQ(announcedLeavers(h.talker), std::vector<uint32_t>{silentId});
}

// A newcomer that never acknowledges its Welcome never became a player: it gets the
// resends its Connect allows and is dropped after 5 s without a word to the others.
// A player that stops acknowledging is dropped after its twelfth resend and announced.
TEST(NetSessionTimeouts, HostRemovesAPeerThatNeverAcknowledges) {
  HostWithTalker h;
  RawPeer deaf;
  const uint32_t deafId = h.join(deaf, "Deaf");
  for (uint32_t id : {h.talkerId, deafId}) h.host.sendWelcome(id, 1, 0, 0, 0, 0, 0, "H");
  for (int i = 0; i < 9; ++i) h.step(0.5);
  EXPECT_EQ(h.host.peers().size(), 2u);
  EXPECT_EQ(deaf.receiveAll().size(), 7u) << "ten times the 33 bytes of its Connect";
  h.step(0.6);
  EXPECT_EQ(h.host.peers().size(), 1u);
  EXPECT_EQ(h.events.count(NetEventKind::PeerLeft), 0u);
  EXPECT_TRUE(announcedLeavers(h.talker).empty());

  RawPeer quiet;
  const uint32_t quietId = h.join(quiet, "Quiet");
  h.host.sendWelcome(quietId, 1, 0, 0, 0, 0, 0, "H");
  quiet.send(h.at(), datagram(kPing, 0, 1, Bytes().u32(0).b));  // acknowledges the Welcome
  settle({&h.host});
  h.host.sendPlayerJoined(quietId, 1, "H");
  for (int i = 0; i < 12; ++i) h.step(0.5);  // twelve resends
  EXPECT_EQ(h.host.peers().size(), 2u);
  h.step(0.5);
  ASSERT_EQ(h.events.count(NetEventKind::PeerLeft), 1u);
  EXPECT_EQ(h.events.first(NetEventKind::PeerLeft)->playerId, quietId);
  EXPECT_EQ(announcedLeavers(h.talker), std::vector<uint32_t>{quietId});
}
