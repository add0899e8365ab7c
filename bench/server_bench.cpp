// The dedicated server's fixed pass with a full house.

#include <benchmark/benchmark.h>

#include <memory>

#include "bench/bench_crowd.h"

#include "app/server_mode.h"
#include "game/lifecycle.h"
#include "game/net_sync.h"

namespace {

struct ServerWorld {
  Game game;
  std::vector<std::unique_ptr<NetSession>> clients;

  // A hosting server game with `players` joined clients standing `spacing` blocks apart.
  bool start(int players, float spacing) {
    game.savesFolder = "/nonexistent";
    game.net.dedicated = true;
    std::string error;
    if (!startHosting(game, 0, error)) return false;
    newGame(game, 20261018, "Bench");
    for (int i = 0; i < players; ++i) {
      clients.push_back(std::make_unique<NetSession>());
      clients.back()->setModListHash(game.mods.modListHash());
      clients.back()->connect({kIpv4Loopback, game.net.session->localPort()},
                              "C" + std::to_string(i), error);
    }
    for (int pass = 0; pass < 4000; ++pass) {
      serverPass(game, 0.05f);
      for (auto& c : clients) c->update(), c->takeEvents();
      if (game.entities.remotePlayers.size() == clients.size()) break;
    }
    for (size_t i = 0; i < clients.size(); ++i) {
      NetPlayerState s;
      s.x = game.spawnPoint.x + spacing * static_cast<float>(i);
      s.y = 50.0f;
      s.z = game.spawnPoint.z;
      s.gameMode = 1;
      clients[i]->sendPlayerState(s);
    }
    for (int pass = 0; pass < 20; ++pass) serverPass(game, 0.05f);
    manageServerColumns(game);
    return game.entities.remotePlayers.size() == clients.size();
  }
  void drainClients() {
    for (auto& c : clients) c->update(), c->takeEvents();
  }
};

// One pass with 8 players near the spawn, 200 mobs and 100 drops.
void BM_ServerPass(benchmark::State& state) {
  ServerWorld server;
  if (!server.start(8, 3.0f)) {
    state.SkipWithError("the clients did not join");
    return;
  }
  Game& game = server.game;
  populateCrowd(game, 200, 100);
  int pass = 0;
  for (auto _ : state) {
    serverPass(game, 0.05f);
    for (Drop& d : game.entities.drops) d.age = 1.0f;  // keep them from expiring
    if (++pass % 20 == 0) {
      state.PauseTiming();
      server.drainClients();
      state.ResumeTiming();
    }
  }
  state.counters["players"] = static_cast<double>(game.entities.remotePlayers.size());
  state.counters["mobs"] = static_cast<double>(game.entities.mobs.size());
}
BENCHMARK(BM_ServerPass)->Unit(benchmark::kMicrosecond);

// Chunk memory with 8 players 1,000 blocks apart, after the columns around each are kept.
void BM_ServerSpreadPlayersMemory(benchmark::State& state) {
  ServerWorld server;
  if (!server.start(8, 1000.0f)) {
    state.SkipWithError("the clients did not join");
    return;
  }
  for (auto _ : state) manageServerColumns(server.game);
  state.counters["chunkMiB"] =
      static_cast<double>(server.game.world->chunkMemoryBytes()) / (1024.0 * 1024.0);
  state.counters["chunks"] = static_cast<double>(server.game.world->loadedChunkCount());
}
BENCHMARK(BM_ServerSpreadPlayersMemory)->Unit(benchmark::kMicrosecond)->Iterations(3);

}  // namespace
