// Micro-benchmarks of the world core: mesh snapshots, block reads and recorded writes,
// and what a loaded column costs in memory.
//
// Terrain generation may leave new columns empty, so every world here is filled by hand
// through setBlockRaw: stone, a few dirt rows, grass or sand on top, water up to sea
// level and a scatter of other blocks. Worlds that are only read are built once and
// shared between runs.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "world/block_registry.h"
#include "world/chunk.h"
#include "world/coords.h"
#include "world/world.h"

namespace {

constexpr int kSeaLevel = 32;
constexpr size_t kPositionCount = 1 << 16;  // precomputed positions, cycled through

// splitmix64: fixed seed, so every run benches the same world and the same positions.
struct Rng {
  uint64_t state;
  uint64_t next() {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }
};

// Rolling hills between y = 25 and y = 37, so some columns sit under water.
int surfaceHeight(int x, int z) {
  const double h = 31.0 + 3.5 * std::sin(x * 0.13 + 2.0) + 2.5 * std::cos(z * 0.09);
  return static_cast<int>(std::floor(h));
}

void fillColumn(World& world, int cx, int cz, Rng& rng) {
  static constexpr std::array<BlockId, 6> kBuilt = {
      kBlockPlanks, kBlockCobblestone, kBlockBricks, kBlockBookshelf, kBlockWood, kBlockLeaves};
  for (int lz = 0; lz < kChunkSize; ++lz) {
    for (int lx = 0; lx < kChunkSize; ++lx) {
      const int x = cx * kChunkSize + lx, z = cz * kChunkSize + lz;
      const int top = surfaceHeight(x, z);
      for (int y = 0; y < top - 3; ++y) {
        BlockId id = kBlockStone;
        const int roll = rng.below(100);
        if (roll < 3) {
          id = kBlockAir;  // caves
        } else if (roll < 5) {
          id = kBlockGravel;
        }
        world.setBlockRaw(x, y, z, id);
      }
      for (int y = top - 3; y < top; ++y) world.setBlockRaw(x, y, z, kBlockDirt);
      world.setBlockRaw(x, top, z, top >= kSeaLevel ? kBlockGrass : kBlockSand);
      for (int y = top + 1; y <= kSeaLevel; ++y) world.setBlockRaw(x, y, z, kBlockWater);
      if (top >= kSeaLevel && rng.below(40) == 0) {
        const int height = 1 + rng.below(4);
        const BlockId id = kBuilt[static_cast<size_t>(rng.below(static_cast<int>(kBuilt.size())))];
        for (int y = top + 1; y <= top + height; ++y) world.setBlockRaw(x, y, z, id);
      }
    }
  }
}

// Columns within Chebyshev distance `radius` of column (0, 0), loaded and filled.
std::unique_ptr<World> makeFilledWorld(int radius) {
  auto world = std::make_unique<World>(1234);
  Rng rng{static_cast<uint64_t>(radius) * 7919 + 1};
  for (int cz = -radius; cz <= radius; ++cz) {
    for (int cx = -radius; cx <= radius; ++cx) {
      world->ensureColumn(cx, cz);
      fillColumn(*world, cx, cz, rng);
    }
  }
  return world;
}

// Filled worlds that benchmarks only read, built on first use.
const World& sharedFilledWorld(int radius) {
  static std::map<int, std::unique_ptr<World>> worlds;
  std::unique_ptr<World>& world = worlds[radius];
  if (!world) world = makeFilledWorld(radius);
  return *world;
}

// Uniform random block positions inside the columns of `radius` around (0, 0).
std::vector<BlockPos> randomPositions(int radius, uint64_t seed) {
  Rng rng{seed};
  const int span = (2 * radius + 1) * kChunkSize;
  const int base = -radius * kChunkSize;
  std::vector<BlockPos> positions(kPositionCount);
  for (BlockPos& p : positions) {
    p.x = base + rng.below(span);
    p.y = rng.below(kWorldHeight);
    p.z = base + rng.below(span);
  }
  return positions;
}

// --- Snapshots -----------------------------------------------------------------------

// The snapshot taken is of section (0, 1, 0), which holds the stone, the surface and part
// of the sea; its 3 x 3 x 3 neighbourhood is loaded.
constexpr ChunkKey kSnapshotKey{0, 1, 0};

// A small world whose neighbourhood of kSnapshotKey also carries fluid level entries:
// flowing water spilling over the land above sea level, in the section above and in
// the target section itself.
const World& levelWorld() {
  static std::unique_ptr<World> world = [] {
    std::unique_ptr<World> w = makeFilledWorld(1);
    int placed = 0;
    for (int z = -16; z < 32 && placed < 96; z += 3) {
      for (int x = -16; x < 32 && placed < 96; x += 5) {
        const int top = surfaceHeight(x, z);
        if (top < kSeaLevel - 3 || top + 1 >= kWorldHeight) continue;
        const uint8_t level = static_cast<uint8_t>(1 + placed % 7);
        w->setBlockWithLevel(x, top + 1, z, kBlockWater, level);
        ++placed;
      }
    }
    return w;
  }();
  return *world;
}

// Arg 0: no fluid level anywhere nearby (row copies only). Arg 1: level entries in the
// neighbourhood, so every fluid cell of the copy also looks up its level.
void BM_SnapshotSection(benchmark::State& state) {
  const World& world = state.range(0) == 0 ? sharedFilledWorld(1) : levelWorld();
  for (auto _ : state) {
    ChunkSnapshot snap = world.snapshot(kSnapshotKey);
    benchmark::DoNotOptimize(snap);
    benchmark::ClobberMemory();
  }
  const ChunkSnapshot check = world.snapshot(kSnapshotKey);
  int fluidCells = 0, levelCells = 0;
  for (int i = 0; i < ChunkSnapshot::kVolume; ++i) {
    if (check.blocks[static_cast<size_t>(i)] == kBlockWater) ++fluidCells;
    if (check.levels[static_cast<size_t>(i)] != 0) ++levelCells;
  }
  state.counters["water_cells"] = fluidCells;
  state.counters["level_cells"] = levelCells;
}
BENCHMARK(BM_SnapshotSection)->ArgName("levels")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The same copy into a buffer the caller keeps, as mesh workers do.
void BM_SnapshotSectionInto(benchmark::State& state) {
  const World& world = state.range(0) == 0 ? sharedFilledWorld(1) : levelWorld();
  auto snap = std::make_unique<ChunkSnapshot>();
  for (auto _ : state) {
    world.snapshotInto(kSnapshotKey, *snap);
    benchmark::DoNotOptimize(snap->blocks.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_SnapshotSectionInto)->ArgName("levels")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// --- Reads ---------------------------------------------------------------------------

// Arg: radius in columns of the loaded square (4: 81 columns, 2.6 MB of blocks, mostly in
// cache; 16: 1089 columns, 35 MB, more than most desktop L3 caches hold).
void BM_GetBlockRandom(benchmark::State& state) {
  const int radius = static_cast<int>(state.range(0));
  const World& world = sharedFilledWorld(radius);
  const std::vector<BlockPos> positions = randomPositions(radius, 42);
  size_t i = 0;
  uint32_t sum = 0;
  for (auto _ : state) {
    const BlockPos& p = positions[i];
    sum += world.getBlock(p.x, p.y, p.z);
    i = (i + 1) & (kPositionCount - 1);
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
  state.counters["loaded_chunks"] = static_cast<double>(world.loadedChunkCount());
}
BENCHMARK(BM_GetBlockRandom)->ArgName("radius")->Arg(4)->Arg(16);

// --- Recorded writes -----------------------------------------------------------------

// Writes cycle over 64K positions that were all written once before timing starts, so the
// edit record stays the same size: the steady state of a player (or fluid flow) editing
// the same area.
void BM_SetBlockRecorded(benchmark::State& state) {
  constexpr int kRadius = 4;
  std::unique_ptr<World> world = makeFilledWorld(kRadius);
  const std::vector<BlockPos> positions = randomPositions(kRadius, 99);
  std::vector<BlockId> ids(kPositionCount);
  Rng rng{5};
  for (BlockId& id : ids) id = static_cast<BlockId>(1 + rng.below(kBuiltinBlockCount - 1));
  for (const BlockPos& p : positions) world->setBlock(p.x, p.y, p.z, kBlockAir);
  world->takeDirtyChunks();

  size_t i = 0;
  unsigned pass = 0;
  for (auto _ : state) {
    const BlockPos& p = positions[i];
    world->setBlock(p.x, p.y, p.z, (pass & 1) ? kBlockAir : ids[i]);
    i = (i + 1) & (kPositionCount - 1);
    if (i == 0) ++pass;
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["edit_entries"] = static_cast<double>(world->edits().blocks.size());
}
BENCHMARK(BM_SetBlockRecorded);

// Every write lands on a position never written before, so the edit record (and its
// per-column key lists) grows throughout, rehashes included. The loaded area is 32 x 32
// all-air columns, visited in a scrambled order.
void BM_SetBlockRecordedFresh(benchmark::State& state) {
  constexpr int kSide = 32;  // columns per axis
  auto world = std::make_unique<World>(1234);
  for (int cz = 0; cz < kSide; ++cz) {
    for (int cx = 0; cx < kSide; ++cx) world->ensureColumn(cx, cz);
  }
  // 2^24 positions (512 x 64 x 512); an odd multiplier permutes them.
  constexpr uint32_t kMask = (1u << 24) - 1;
  uint32_t n = 0;
  for (auto _ : state) {
    const uint32_t idx = (n++ * 2654435761u) & kMask;
    const int x = static_cast<int>(idx & 511);
    const int z = static_cast<int>((idx >> 9) & 511);
    const int y = static_cast<int>(idx >> 18);
    world->setBlock(x, y, z, kBlockStone);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["edit_entries"] = static_cast<double>(world->edits().blocks.size());
}
BENCHMARK(BM_SetBlockRecordedFresh);

// --- Columns -------------------------------------------------------------------------

// Heap bytes one loaded column costs: allocator usage before and after loading 256 columns
// into a fresh world, divided by 256. Block data alone is 4 sections of 8 KiB.
void BM_ColumnMemory(benchmark::State& state) {
  constexpr int kSide = 16;
  constexpr double kColumns = kSide * kSide;
  constexpr double kBlockBytes = kSectionsPerColumn * sizeof(Chunk);
  double perColumn = 0, reported = 0;
  for (auto _ : state) {
    auto world = std::make_unique<World>(1234);
    const size_t before = mallinfo2().uordblks;
    for (int cz = 0; cz < kSide; ++cz) {
      for (int cx = 0; cx < kSide; ++cx) world->ensureColumn(cx, cz);
    }
    const size_t after = mallinfo2().uordblks;
    perColumn = static_cast<double>(after - before) / kColumns;
    reported = static_cast<double>(world->chunkMemoryBytes()) / kColumns;
    state.PauseTiming();
    world.reset();
    state.ResumeTiming();
  }
  state.counters["bytes_per_column"] = perColumn;
  state.counters["overhead_pct"] = (perColumn - kBlockBytes) / kBlockBytes * 100.0;
  state.counters["reported_bytes_per_column"] = reported;
}
BENCHMARK(BM_ColumnMemory)->Iterations(3)->Unit(benchmark::kMillisecond);

// Creating an (all-air) column and dropping it again. Arg: radius of the square of
// columns that stay loaded around it (0: just one column; 16: 1089 columns), since
// unloading walks the whole chunk table.
void BM_EnsureColumnEmpty(benchmark::State& state) {
  const int radius = static_cast<int>(state.range(0));
  auto world = std::make_unique<World>(1234);
  for (int cz = -radius; cz <= radius; ++cz) {
    for (int cx = -radius; cx <= radius; ++cx) world->ensureColumn(cx, cz);
  }
  const int cx = radius + 10;
  for (auto _ : state) {
    world->ensureColumn(cx, 0);
    world->unloadColumnsBeyond(0, 0, radius);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_EnsureColumnEmpty)->ArgName("radius")->Arg(0)->Arg(16);

}  // namespace
