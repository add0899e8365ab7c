// Save files with a million edits.

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>

#include "save/save_files.h"

namespace {

SavedWorld millionEdits() {
  SavedWorld w;
  w.seed = 20261018;
  w.edits.reserve(1000000);
  for (int i = 0; i < 1000000; ++i) {
    w.edits.push_back({i % 2000 - 1000, i % 64, i / 2000, static_cast<uint16_t>(i % 15), 255});
  }
  return w;
}

struct TempSaves {
  std::string path;
  TempSaves() {
    char pattern[] = "/tmp/orvane-bench-XXXXXX";
    path = mkdtemp(pattern) ? pattern : "/tmp";
  }
  ~TempSaves() { std::filesystem::remove_all(path); }
};

void BM_WriteMillionEdits(benchmark::State& state) {
  const SavedWorld world = millionEdits();
  TempSaves saves;
  for (auto _ : state) {
    if (!writeWorldSave("bench", world, saves.path)) state.SkipWithError("write failed");
  }
  state.SetBytesProcessed(state.iterations() * 15000000LL);
}
BENCHMARK(BM_WriteMillionEdits)->Unit(benchmark::kMillisecond);

void BM_ReadMillionEdits(benchmark::State& state) {
  TempSaves saves;
  writeWorldSave("bench", millionEdits(), saves.path);
  for (auto _ : state) {
    SavedWorld w;
    if (!readWorldSave("bench", w, saves.path)) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(w.edits.data());
  }
  state.SetBytesProcessed(state.iterations() * 15000000LL);
}
BENCHMARK(BM_ReadMillionEdits)->Unit(benchmark::kMillisecond);

void BM_RejectLyingEditCount(benchmark::State& state) {
  std::vector<uint8_t> bytes = encodeWorldSave(SavedWorld{});
  const uint32_t lie = 50000000;
  for (int i = 0; i < 4; ++i) bytes[bytes.size() - 4 + i] = static_cast<uint8_t>(lie >> (8 * i));
  for (auto _ : state) {
    SavedWorld w;
    benchmark::DoNotOptimize(decodeWorldSave(bytes.data(), bytes.size(), w));
  }
}
BENCHMARK(BM_RejectLyingEditCount);

}  // namespace
