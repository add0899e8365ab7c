// Meshing and the mesh scheduler on the test seed.

#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>
#include <vector>

#include "render/null_renderer.h"
#include "world/mesh_scheduler.h"

namespace {

constexpr uint32_t kSeed = 20261018;

// Counts the indices it is handed, so the meshing cannot be optimised away.
class CountingRenderer : public NullRenderer {
 public:
  void setChunkMesh(ChunkKey, const ChunkMesh& mesh) override { indices += mesh.indices.size(); }
  size_t indices = 0;
};

// Sections holding the ground surface (some faces, some trees and water) away from the
// spawn village.
std::vector<ChunkSnapshot> surfaceSnapshots() {
  World world(kSeed);
  std::vector<ChunkSnapshot> out;
  for (int cz = 4; cz < 10; ++cz) {
    for (int cx = 4; cx < 10; ++cx) {
      world.ensureColumnsAround(cx * 16, cz * 16, 1);
      for (int sy = 1; sy <= 2; ++sy) {
        ChunkSnapshot s = world.snapshot({cx, sy, cz});
        if (!meshChunk(s).opaque.empty()) out.push_back(s);
      }
    }
  }
  return out;
}

void BM_MeshSurfaceSection(benchmark::State& state) {
  const std::vector<ChunkSnapshot> snapshots = surfaceSnapshots();
  size_t i = 0, vertices = 0;
  for (auto _ : state) {
    ChunkMeshPair pair = meshChunk(snapshots[i++ % snapshots.size()]);
    vertices += pair.opaque.vertices.size() + pair.translucent.vertices.size();
    benchmark::DoNotOptimize(pair);
  }
  state.counters["sections"] = static_cast<double>(snapshots.size());
  state.counters["vertices_per_section"] =
      benchmark::Counter(static_cast<double>(vertices), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_MeshSurfaceSection)->Unit(benchmark::kMicrosecond);

void BM_MeshAirSection(benchmark::State& state) {
  ChunkSnapshot s;
  s.key = {3, 3, 3};
  s.blocks[ChunkSnapshot::index(-1, 5, 5)] = kBlockStone;  // only the border holds blocks
  for (auto _ : state) benchmark::DoNotOptimize(meshChunk(s));
}
BENCHMARK(BM_MeshAirSection)->Unit(benchmark::kMicrosecond);

void BM_MeshBuriedSection(benchmark::State& state) {
  ChunkSnapshot s;
  s.key = {3, 0, 3};
  s.blocks.fill(kBlockStone);
  for (auto _ : state) benchmark::DoNotOptimize(meshChunk(s));
}
BENCHMARK(BM_MeshBuriedSection)->Unit(benchmark::kMicrosecond);

void BM_PreloadRadius8(benchmark::State& state) {
  size_t sections = 0;
  for (auto _ : state) {
    World world(kSeed);
    CountingRenderer renderer;
    MeshScheduler scheduler(1);
    const Village spawn = world.villages().front();
    scheduler.preload(world, renderer, spawn.x, spawn.z, 8);
    sections = scheduler.meshedCount();
  }
  state.counters["sections"] = static_cast<double>(sections);
}
BENCHMARK(BM_PreloadRadius8)->Iterations(3)->Unit(benchmark::kMillisecond);

// Main-thread time of an update once everything within reach is meshed.
void BM_SteadyUpdate(benchmark::State& state) {
  World world(kSeed);
  CountingRenderer renderer;
  MeshScheduler scheduler;
  scheduler.setRenderDistance(8);
  scheduler.preload(world, renderer, 8, 8, 8);
  for (int i = 0; i < 5000 && !scheduler.queuedSections().empty(); ++i) {
    scheduler.update(world, renderer, 8, 8);
  }
  for (auto _ : state) scheduler.update(world, renderer, 8, 8);
  state.counters["meshed"] = static_cast<double>(scheduler.meshedCount());
}
BENCHMARK(BM_SteadyUpdate)->Unit(benchmark::kMicrosecond);

// Peak bytes of pending jobs and uncollected results: a radius-8 preload, then a walk
// east at sprinting speed with a frame every 16 ms.
void BM_PreloadAndWalkMemory(benchmark::State& state) {
  MeshMemory memory;
  for (auto _ : state) {
    World world(kSeed);
    CountingRenderer renderer;
    MeshScheduler scheduler;
    scheduler.setRenderDistance(8);
    scheduler.preload(world, renderer, 8, 8, 8);
    double x = 8;
    for (int frame = 0; frame < 600; ++frame) {
      x += 5.6 * 0.016;
      scheduler.update(world, renderer, x, 8);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    memory = scheduler.memory();
  }
  state.counters["peak_job_bytes"] = static_cast<double>(memory.peakJobBytes);
  state.counters["peak_result_bytes"] = static_cast<double>(memory.peakResultBytes);
}
BENCHMARK(BM_PreloadAndWalkMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
