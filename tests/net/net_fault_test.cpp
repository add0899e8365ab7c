// A join through a bad network: a relay between host and client loses a fifth of the
// datagrams, repeats some and swaps the order of others. The reliability layer must
// still deliver the whole world record, each change once and in order.

#include <optional>

#include "net/net_session.h"
#include "net_test_support.h"
#include "tests/support/lossy_relay.h"

namespace {

struct LossyJoin {
  int welcomes = 0, readies = 0, joins = 0, edits = 0, failures = 0;
  int dropped = 0, duplicated = 0, reordered = 0;
  std::vector<BlockChange> sent, received;
};

LossyJoin joinThroughRelay(uint32_t seed) {
  LossyJoin r;
  ManualClock clock;
  NetSession host(clock.fn()), client(clock.fn());
  std::string error;
  EXPECT_TRUE(host.startHost(0, error)) << error;
  LossyRelay relay({kIpv4Loopback, host.localPort()}, seed);
  EXPECT_TRUE(client.connect(relay.endpoint(), "Tester", error));

  for (int i = 0; i < 12000; ++i) r.sent.push_back({i, 20, 2 * i, 3, kNoLevel});
  bool editSent = false;
  // Each pass stands for 5 ms; 6000 passes are half a minute of play.
  for (int pass = 0; pass < 6000; ++pass) {
    clock.now += 0.005;
    host.update();
    relay.pump();
    client.update();
    relay.pump();
    for (const NetEvent& e : host.takeEvents()) {
      if (e.kind == NetEventKind::PeerJoined) {
        ++r.joins;
        host.sendWelcome(e.playerId, 4242, 10, 30, 10, 0.4f, 1, "HostTest");
        host.sendBlockBatches(e.playerId, r.sent);
        host.sendReady(e.playerId);
      }
      r.edits += e.kind == NetEventKind::EditRequest ? 1 : 0;
    }
    for (const NetEvent& e : client.takeEvents()) {
      r.welcomes += e.kind == NetEventKind::Welcome ? 1 : 0;
      r.readies += e.kind == NetEventKind::Ready ? 1 : 0;
      r.failures += e.kind == NetEventKind::Disconnected ? 1 : 0;
      if (e.kind == NetEventKind::BlockBatch) {
        r.received.insert(r.received.end(), e.changes.begin(), e.changes.end());
      }
    }
    if (r.welcomes && r.readies && !editSent) {
      client.sendEditRequest(12, 31, 12, 10, 1);
      editSent = true;
    }
    // Done, and a second more to catch anything delivered twice.
    if (r.received.size() >= r.sent.size() && r.edits > 0 && pass % 200 == 0) break;
  }
  r.dropped = relay.dropped;
  r.duplicated = relay.duplicated;
  r.reordered = relay.reordered;
  return r;
}

}  // namespace

TEST(NetFaults, JoinThroughALossyRelayDeliversEveryChangeOnceInOrder) {
  for (uint32_t seed : {0x5EED1234u, 7u, 2024u, 99991u}) {
    SCOPED_TRACE(seed);
    const LossyJoin r = joinThroughRelay(seed);
    EXPECT_EQ(r.failures, 0);
    EXPECT_EQ(r.joins, 1);
    EXPECT_EQ(r.welcomes, 1);
    EXPECT_EQ(r.readies, 1);
    EXPECT_EQ(r.edits, 1);
    EXPECT_EQ(r.received.size(), r.sent.size());
    EXPECT_TRUE(r.received == r.sent) << "every change once, in the order sent";
    EXPECT_GT(r.dropped, 50);
    EXPECT_GT(r.duplicated, 5);
    EXPECT_GT(r.reordered, 10);
  }
}
