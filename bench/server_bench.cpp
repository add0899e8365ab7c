// The dedicated server's fixed pass with a full house.

#include <benchmark/benchmark.h>

#include <functional>
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
    return start(players, [&](int i) {
      return glm::vec2(game.spawnPoint.x + spacing * static_cast<float>(i), game.spawnPoint.z);
    });
  }
  // The same with client i standing at `place(i)` (x, z), 50 blocks up.
  bool start(int players, const std::function<glm::vec2(int)>& place, bool keepColumns = true) {
    game.savesFolder = "/nonexistent";
    game.net.dedicated = true;
    std::string error;
    if (!startHosting(game, 0, error)) return false;
    game.net.session->setMaxPeers(static_cast<size_t>(players));
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
      const glm::vec2 at = place(static_cast<int>(i));
      NetPlayerState s;
      s.x = at.x;
      s.y = 50.0f;
      s.z = at.y;
      s.gameMode = 1;
      clients[i]->sendPlayerState(s);
    }
    for (int pass = 0; pass < 20; ++pass) {
      serverPass(game, 0.05f);
      drainClients();
    }
    if (keepColumns) manageServerColumns(game);
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

// Passes of a full server, the clients drained every second as they would read.
void runPasses(benchmark::State& state, ServerWorld& server) {
  Game& game = server.game;
  int pass = 0;
  for (auto _ : state) {
    serverPass(game, 0.05f);
    for (Drop& d : game.entities.drops) d.age = 1.0f;
    if (++pass % 20 == 0) {
      state.PauseTiming();
      server.drainClients();
      state.ResumeTiming();
    }
  }
  state.counters["players"] = static_cast<double>(game.entities.remotePlayers.size());
}

// 128 players spread over a 2,000-block square, 200 mobs and 100 drops: each player's
// state goes to its few neighbours every pass and to the rest once a second.
void BM_ServerPassSpread128(benchmark::State& state) {
  ServerWorld server;
  uint32_t random = 12345;
  const auto next = [&] {
    random ^= random << 13, random ^= random >> 17, random ^= random << 5;
    return static_cast<float>(random % 2000) - 1000.0f;
  };
  const bool joined = server.start(
      128,
      [&](int) {
        return glm::vec2(server.game.spawnPoint.x + next(), server.game.spawnPoint.z + next());
      },
      false);
  if (!joined) {
    state.SkipWithError("the clients did not join");
    return;
  }
  populateCrowd(server.game, 200, 100);
  runPasses(state, server);
}
BENCHMARK(BM_ServerPassSpread128)->Unit(benchmark::kMicrosecond)->Iterations(200);

// 64 players within 30 blocks of each other: everyone hears everyone every pass.
void BM_ServerPassCrowd64(benchmark::State& state) {
  ServerWorld server;
  const bool joined = server.start(64, [&](int i) {
    return glm::vec2(server.game.spawnPoint.x + static_cast<float>(i % 8) * 4.0f - 14.0f,
                     server.game.spawnPoint.z + static_cast<float>(i / 8) * 4.0f - 14.0f);
  });
  if (!joined) {
    state.SkipWithError("the clients did not join");
    return;
  }
  populateCrowd(server.game, 200, 100);
  runPasses(state, server);
}
BENCHMARK(BM_ServerPassCrowd64)->Unit(benchmark::kMicrosecond)->Iterations(200);

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
