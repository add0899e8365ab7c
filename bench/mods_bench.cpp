// Mod benchmarks: raising the tick event for ten loaded mods, and loading the three
// packages of the mod self test (unpacking, sandbox set-up, running main.lua).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "mods/mod_context.h"
#include "mods/mod_manager.h"
#include "mods/modtest_packages.h"
#include "mods/package.h"

namespace {

// A temporary mods folder, removed again afterwards.
struct BenchFolder {
  std::filesystem::path path;
  BenchFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "orvane-mods-bench-XXXXXX").string();
    if (mkdtemp(pattern.data())) path = pattern;
  }
  ~BenchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

// Sends the program's standard output and error to /dev/null while it lives, so the
// load messages do not flood the benchmark report.
struct Quiet {
  int savedOut = dup(1), savedErr = dup(2);
  Quiet() {
    std::fflush(stdout);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    close(null);
  }
  ~Quiet() {
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(savedOut, 1);
    dup2(savedErr, 2);
    close(savedOut);
    close(savedErr);
  }
};

void BM_FireTickTenMods(benchmark::State& state) {
  BenchFolder folder;
  std::string error;
  for (int i = 0; i < 10; ++i) {
    const std::string file = "tick" + std::to_string(i) + ".mod.orvac";
    writeZip((folder.path / file).string(),
             {{"main.lua", "local total = 0\non_tick(function(dt) total = total + dt end)\n"}},
             error);
  }
  TestModContext context;
  context.printLog = false;
  ModManager manager;
  {
    Quiet quiet;
    manager.loadMods(folder.path.string(), &context);
  }
  if (manager.modCount() != 10) state.SkipWithError("mods did not load");
  for (auto _ : state) manager.fireTick(0.05);
}
BENCHMARK(BM_FireTickTenMods)->Unit(benchmark::kMicrosecond);

// One mod whose tick handler runs until the time limit stops it, loaded before nine
// well-behaved ones: the frame's handler time stays near the slow mod's 50 ms slice.
// The slow mod is switched off after three ticks, so every iteration loads afresh and
// the tick timed is the first.
void BM_FireTickOneSlowModNineGood(benchmark::State& state) {
  BenchFolder folder;
  std::string error;
  writeZip((folder.path / "a_slow.mod.orvac").string(),
           {{"main.lua",
             "on_tick(function() for i = 1, 1e9 do local s = string.rep('x', 1 << 23) "
             "end end)\n"}},
           error);
  for (int i = 0; i < 9; ++i) {
    const std::string file = "good" + std::to_string(i) + ".mod.orvac";
    writeZip((folder.path / file).string(),
             {{"main.lua", "local total = 0\non_tick(function(dt) total = total + dt end)\n"}},
             error);
  }
  TestModContext context;
  context.printLog = false;
  ModManager manager;
  for (auto _ : state) {
    state.PauseTiming();
    {
      Quiet quiet;
      manager.loadMods(folder.path.string(), &context);
    }
    if (manager.modCount() != 10) state.SkipWithError("mods did not load");
    state.ResumeTiming();
    Quiet quiet;
    manager.fireTick(0.05);
  }
}
BENCHMARK(BM_FireTickOneSlowModNineGood)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_LoadModTestPackages(benchmark::State& state) {
  BenchFolder folder;
  std::string error;
  if (!writeModTestPackages(folder.path.string(), error)) state.SkipWithError("no packages");
  TestModContext context;
  context.printLog = false;
  ModManager manager;
  Quiet quiet;
  for (auto _ : state) {
    manager.loadMods(folder.path.string(), &context);
    if (manager.modCount() != 3) state.SkipWithError("mods did not load");
    manager.unloadMods();
  }
}
BENCHMARK(BM_LoadModTestPackages)->Unit(benchmark::kMillisecond);

}  // namespace
