// Micro-benchmarks of the multiplayer layer: handling one received datagram (header,
// reliability bookkeeping and event, then payload parses of growing size), an update with
// nothing to do, and the whole loop-back join of 12000 changes.
//
// Datagrams are handed to the session directly, as its update does after reading them,
// so the figures leave out the socket read; the idle update includes one empty read.

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "net/game_sync.h"
#include "net/loopback_join.h"
#include "net/net_session.h"
#include "net/net_wire.h"

namespace {

// Time stands still: nothing ever becomes due.
const NetClock kFrozen = [] { return 100.0; };
const Ipv4Endpoint kPeerAt{kIpv4Loopback, 40000};
const Ipv4Endpoint kHostAt{kIpv4Loopback, 40001};

std::vector<uint8_t> datagramOf(NetMessageType type, uint32_t seq,
                                const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> d;
  writeHeader(d, type, seq, 0);
  d.insert(d.end(), payload.begin(), payload.end());
  return d;
}

// A host with one accepted player at kPeerAt.
void acceptOnePlayer(NetSession& host) {
  std::string error;
  host.startHost(0, error);
  const std::vector<uint8_t> connect =
      datagramOf(NetMessageType::Connect, 1, encodeConnect(2, 0, "Bench"));
  host.receiveDatagram(connect.data(), connect.size(), kPeerAt);
  host.takeEvents();
}

void BM_HostReceivePlayerState(benchmark::State& state) {
  NetSession host(kFrozen);
  acceptOnePlayer(host);
  const std::vector<uint8_t> d =
      datagramOf(NetMessageType::PlayerState, 0, encodePlayerState({2, 1, 2, 3, 0, 0, 1, 20}));
  size_t n = 0;
  for (auto _ : state) {
    host.receiveDatagram(d.data(), d.size(), kPeerAt);
    if (++n % 1024 == 0) benchmark::DoNotOptimize(host.takeEvents());
  }
}
BENCHMARK(BM_HostReceivePlayerState);

void BM_HostReceiveReliableEditRequest(benchmark::State& state) {
  NetSession host(kFrozen);
  acceptOnePlayer(host);
  std::vector<uint8_t> d =
      datagramOf(NetMessageType::EditRequest, 2, encodeEditRequest(1, 2, 3, 4, 1));
  uint32_t seq = 2;
  for (auto _ : state) {
    std::memcpy(&d[7], &seq, 4);  // little-endian host
    ++seq;
    host.receiveDatagram(d.data(), d.size(), kPeerAt);
    if (seq % 1024 == 0) benchmark::DoNotOptimize(host.takeEvents());
  }
}
BENCHMARK(BM_HostReceiveReliableEditRequest);

// A client receiving host messages: state (small), a mob list of 40 and a full batch of
// 64 block changes.
void BM_ClientReceive(benchmark::State& state) {
  NetSession client(kFrozen);
  std::string error;
  client.connect(kHostAt, "Bench", error);
  std::vector<uint8_t> d;
  switch (state.range(0)) {
    case 0:
      d = datagramOf(NetMessageType::PlayerState, 0, encodePlayerState({1, 1, 2, 3, 0, 0, 1, 20}));
      break;
    case 1:
      d = datagramOf(NetMessageType::MobList, 0, encodeMobList(std::vector<NetMob>(40)));
      break;
    default: {
      const std::vector<BlockChange> changes(64, BlockChange{1, 2, 3, 4, 255});
      d = datagramOf(NetMessageType::BlockBatch, 0, encodeBlockBatch(changes.data(), 64));
    }
  }
  size_t n = 0;
  for (auto _ : state) {
    client.receiveDatagram(d.data(), d.size(), kHostAt);
    if (++n % 256 == 0) benchmark::DoNotOptimize(client.takeEvents());
  }
  state.SetLabel(std::to_string(d.size()) + " bytes");
}
BENCHMARK(BM_ClientReceive)->Arg(0)->Arg(1)->Arg(2);

void BM_IdleUpdateHost(benchmark::State& state) {
  NetSession host(kFrozen);
  acceptOnePlayer(host);
  for (auto _ : state) host.update();
}
BENCHMARK(BM_IdleUpdateHost);

void BM_IdleUpdateClient(benchmark::State& state) {
  NetSession client(kFrozen);
  std::string error;
  client.connect(kHostAt, "Bench", error);
  client.update();  // the first ping goes out
  for (auto _ : state) client.update();
}
BENCHMARK(BM_IdleUpdateClient);

// The whole join of "--nettest" without its 1 ms sleep per pass.
void BM_LoopbackJoin12000(benchmark::State& state) {
  LoopbackJoinOptions options;
  options.port = 0;
  options.sleepEachPass = false;
  for (auto _ : state) {
    const LoopbackJoinResult r = runLoopbackJoin(options);
    if (!r.passed()) state.SkipWithError("the join failed");
  }
}
BENCHMARK(BM_LoopbackJoin12000)->Unit(benchmark::kMillisecond);

// A client joins a world of a million edits over loopback: from Connect until every
// entry is written into its world and Ready has arrived. Passes run back to back, so the
// figure is what the reliability layer allows, not a frame rate.
void BM_JoinMillionEdits(benchmark::State& state) {
  constexpr size_t kEdits = 1000000;
  std::vector<BlockChange> changes(kEdits);
  for (size_t i = 0; i < kEdits; ++i) {
    changes[i] = {static_cast<int32_t>(i % 1000), 20, static_cast<int32_t>(i / 1000), 3, 255};
  }
  for (auto _ : state) {
    NetSession host, client;
    std::string error;
    if (!host.startHost(0, error) ||
        !client.connect({kIpv4Loopback, host.localPort()}, "Bench", error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    World world(4242);
    size_t received = 0;
    bool ready = false;
    while (received < kEdits || !ready) {
      host.update();
      for (const NetEvent& e : host.takeEvents()) {
        if (e.kind != NetEventKind::PeerJoined) continue;
        host.sendWelcome(e.playerId, 4242, 10, 30, 10, 0.4f, 0, "Host");
        host.sendBlockBatches(e.playerId, changes);
        host.sendReady(e.playerId);
      }
      client.update();
      for (const NetEvent& e : client.takeEvents()) {
        if (e.kind == NetEventKind::BlockBatch) received += applyBlockChanges(world, e.changes);
        if (e.kind == NetEventKind::Ready) ready = true;
        if (e.kind == NetEventKind::Disconnected) {
          state.SkipWithError("the connection failed");
          return;
        }
      }
    }
    client.shutdown();
    host.shutdown();
  }
}
BENCHMARK(BM_JoinMillionEdits)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
