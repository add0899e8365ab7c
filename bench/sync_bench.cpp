// The host's per-frame multiplayer step with a full house.

#include <benchmark/benchmark.h>

#include <memory>

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
  std::vector<Mob>& mobs = host.entities.mobs;
  for (uint32_t extra = 1; mobs.size() < 200 && extra < 400; ++extra) {
    auto more = spawnMobsAround(*host.world, 20261018 + extra, 14, host.spawnPoint);
    mobs.insert(mobs.end(), more.begin(), more.end());
  }
  mobs.resize(std::min<size_t>(mobs.size(), 200));
  for (int i = 0; i < 100; ++i) {
    spawnDrop(host.entities.drops,
              host.spawnPoint + glm::vec3(static_cast<float>(i % 10) * 2.0f - 10.0f, 0.0f,
                                          static_cast<float>(i / 10) * 2.0f - 10.0f),
              kBlockDirt, 1);
  }
  assignEntityIds(host);
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
  state.counters["mobs"] = static_cast<double>(mobs.size());
}
BENCHMARK(BM_HostSyncEightClients)->Unit(benchmark::kMicrosecond);

}  // namespace
