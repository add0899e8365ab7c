// The host's per-frame multiplayer step with a full house.

#include <benchmark/benchmark.h>

#include <memory>

#include "bench/bench_crowd.h"

#include "game/lifecycle.h"
#include "game/net_sync.h"

namespace {

// Eight clients joined to a hosting game with 200 mobs and 100 drops around the spawn;
// one iteration is one frame's syncNetwork on the host.
void BM_HostSyncEightClients(benchmark::State& state) {
  Game host;
  host.savesFolder = "/nonexistent";
  std::string error;
  if (!startHosting(host, 0, error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  newGame(host, 20261018, "Bench");
  std::vector<std::unique_ptr<NetSession>> clients;
  for (int i = 0; i < 8; ++i) {
    clients.push_back(std::make_unique<NetSession>());
    clients.back()->setModListHash(host.mods.modListHash());
    clients.back()->connect({kIpv4Loopback, host.net.session->localPort()}, "C" + std::to_string(i),
                            error);
  }
  for (int pass = 0; pass < 2000 && host.entities.remotePlayers.size() < 8; ++pass) {
    syncNetwork(host, 1.0f / 60.0f);
    for (auto& c : clients) c->update(), c->takeEvents();
  }
  populateCrowd(host, 200, 100);
  int frame = 0;
  for (auto _ : state) {
    syncNetwork(host, 1.0f / 60.0f);
    if (++frame % 60 == 0) {  // the clients read what arrived, as their own frames would
      state.PauseTiming();
      for (auto& c : clients) c->update(), c->takeEvents();
      state.ResumeTiming();
    }
  }
  state.counters["clients"] = static_cast<double>(host.entities.remotePlayers.size());
  state.counters["mobs"] = static_cast<double>(host.entities.mobs.size());
}
BENCHMARK(BM_HostSyncEightClients)->Unit(benchmark::kMicrosecond);

}  // namespace
