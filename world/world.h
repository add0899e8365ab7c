#pragma once
// Every block of one seeded world. Chunks are generated on demand from the seed and may
// be dropped at any time: they come back identically, with the recorded edits on top,
// so unloading never loses a player's work. Used only by the main thread; mesh workers
// get copies (snapshot). No operation throws: positions outside the world read as air
// and ignore writes.

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "world/block_registry.h"
#include "world/chunk.h"
#include "world/coords.h"
#include "world/flat_hash.h"
#include "world/village.h"

// A column's coordinates (block coordinates divided by 16, rounded down).
struct ColumnPos {
  int cx = 0, cz = 0;
};

// One changed block, as sent to multiplayer clients.
struct CapturedChange {
  int32_t x = 0, y = 0, z = 0;
  BlockId id = 0;
  uint8_t level = 255;  // 255: no level entry (a source or a non-fluid block)
  bool operator==(const CapturedChange&) const = default;
};

inline constexpr uint8_t kNoLevel = 255;
inline constexpr size_t kFluidRegionCap = 20000;

// Everything a player changed, as saved: the last id each recorded write left at a
// position, and the fluid levels (absent = 0, a source or a non-fluid block).
struct WorldEdits {
  FlatHashMap<BlockKey, BlockId> blocks;
  FlatHashMap<BlockKey, uint8_t> levels;
};

class World {
 public:
  // An empty world: no chunk exists until something asks for one. Finds the spawn
  // village.
  explicit World(uint32_t seed);
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  const uint32_t seed;

  // Stored id, or air outside the world or in a chunk that is not loaded. Never generates.
  BlockId getBlock(int x, int y, int z) const;
  // Stored fluid level, or 0.
  uint8_t fluidLevel(int x, int y, int z) const;

  // Recorded write for player actions, commands, mods and fluid flow: generates the
  // column when needed, records the edit, clears the fluid level (a source), captures
  // the change when capture is on and marks the chunk and touched neighbours dirty.
  void setBlock(int x, int y, int z, BlockId id);
  // Unrecorded write for terrain generation. While a column is generating, writes to
  // any other column are dropped.
  void setBlockRaw(int x, int y, int z, BlockId id);
  // Recorded write for restoring saves and applying network changes. Ids not below the
  // block count become air; level 255 (or a non-fluid block) erases the level. Changes
  // a loaded chunk in place, otherwise only the record (applied at generation). Marks
  // nothing dirty.
  void setBlockWithLevel(int x, int y, int z, BlockId id, uint8_t level);

  // Generates column (cx, cz) when it is missing. Returns at once while another
  // generation is running; columns wholly outside the world are never created.
  void ensureColumn(int cx, int cz);
  // Ensures every column within Chebyshev distance r of the column holding (x, z).
  void ensureColumnsAround(double x, double z, int r);
  bool isColumnLoaded(int cx, int cz) const;
  bool chunkLoaded(ChunkKey key) const;
  // The chunk, or null when not loaded.
  const Chunk* findChunk(ChunkKey key) const;
  size_t loadedChunkCount() const { return chunks_.size(); }
  // Drops every chunk farther than r columns from (cx, cz) on either axis. Edits,
  // fluid levels and queues stay.
  void unloadColumnsBeyond(int cx, int cz, int r);
  // Drops every chunk farther than r columns from each of the columns `centres`; with no
  // centres, every chunk. Edits, fluid levels and queues stay.
  void unloadColumnsAwayFrom(const std::vector<ColumnPos>& centres, int r);

  bool generating() const { return generating_; }

  // Villages fixed at creation (the spawn village is the first).
  const std::vector<Village>& villages() const { return villages_; }
  // Per village grid cell, its village or the absence of one; filled lazily by
  // villageInCell and never invalidated (it depends only on the seed).
  using VillageCache = FlatHashMap<uint64_t, std::optional<Village>>;
  VillageCache& villageCache() const { return villageCache_; }

  // The chunks whose meshes are out of date, emptying the set.
  std::vector<ChunkKey> takeDirtyChunks();

  // Capture of changes for multiplayer; switching it off empties the capture.
  void setCaptureEnabled(bool on);
  bool captureEnabled() const { return captureEnabled_; }
  // The changes captured since the last call (positions no longer in the edit record
  // are skipped), emptying the capture.
  std::vector<CapturedChange> takeCapturedChanges();

  // The edit record and fluid levels, for saving.
  const WorldEdits& edits() const { return edits_; }

  // Chunk `key` with a one-block border, read through getBlock/fluidLevel semantics.
  ChunkSnapshot snapshot(ChunkKey key) const;
  void snapshotInto(ChunkKey key, ChunkSnapshot& out) const;

  // --- Fluids (fluids.cpp) ---
  // Water spreads 7 blocks from a source and lava 3, both fall and spread again below,
  // recede without a source, and water turns touching lava into cobblestone. Work is
  // queued per position and done a whole connected body at a time.

  // Queues the position for the water step (water), the lava step (lava) or both (air);
  // other blocks, positions outside the world and a disabled simulation queue nothing.
  void scheduleFluid(int x, int y, int z);
  // scheduleFluid for the position and its six neighbours (+x, -x, +y, -y, +z, -z).
  void scheduleFluidAround(int x, int y, int z);
  // Switching the simulation off also empties both queues.
  void setFluidSimulation(bool on);
  bool fluidSimulationEnabled() const { return fluidEnabled_; }
  // Advances the simulation: every 0.15 s up to 32 queued water positions, every 0.7 s up
  // to 16 lava positions, counting only positions that recompute a body; up to 4096
  // queued positions that would change nothing are dropped along the way. Once a body
  // in a step reached kFluidRegionCap cells, the step recomputes nothing more: the
  // positions left wait for the next step.
  void tick(float dt);
  // Recomputes the fluid body at or next to a position (nothing outside the world);
  // true when a body searched reached kFluidRegionCap cells.
  bool processFluidCell(int x, int y, int z);
  // Recomputes the body of fluid `fluid` reachable from (x0, y0, z0) at or below y0:
  // distances from its sources, flowing blocks added, re-levelled or removed, and lava
  // touching water quenched. Considers at most kFluidRegionCap cells; true when the
  // body had more.
  bool recomputeFluidBody(int x0, int y0, int z0, BlockId fluid);
  size_t waterQueueSize() const { return waterQueue_.size(); }
  size_t lavaQueueSize() const { return lavaQueue_.size(); }

  // Heap bytes held by loaded chunks and the chunk table.
  size_t chunkMemoryBytes() const;

 private:
  Chunk* chunkAt(ChunkKey key);
  void recordEdit(BlockKey key, BlockId id);
  void storeLevel(BlockKey key, uint8_t level);
  void eraseLevel(BlockKey key);
  void markDirty(int x, int y, int z);
  void generateColumn(int cx, int cz);
  void setFlowLevel(int x, int y, int z, uint8_t level);
  void queueFluidKey(BlockKey key, BlockId id);
  void runFluidStep(std::deque<BlockKey>& queue, uint8_t queueBit, int limit);
  // Whether processFluidCell at the position would recompute a body.
  bool wouldRecompute(int x, int y, int z) const;
  void quenchAround(int x, int y, int z);

  // Every block read looks here first: kept at most half full for short probes.
  FlatHashMap<ChunkKey, std::unique_ptr<Chunk>, std::hash<ChunkKey>, std::equal_to<ChunkKey>, 50>
      chunks_;
  WorldEdits edits_;
  // Per column, the keys of its positions in the edit record, each appended once.
  FlatHashMap<ColumnKey, std::vector<BlockKey>> columnEdits_;
  // The fluid level entries again, grouped by chunk, so a chunk copy visits only the
  // levels near it instead of looking up every fluid cell.
  FlatHashMap<ChunkKey, FlatHashMap<BlockKey, uint8_t>> chunkLevels_;

  std::vector<Village> villages_;
  mutable VillageCache villageCache_;

  bool generating_ = false;
  int generatingCx_ = 0, generatingCz_ = 0;
  Chunk* generatingSections_[kSectionsPerColumn] = {};

  std::deque<BlockKey> waterQueue_, lavaQueue_;
  FlatHashMap<BlockKey, uint8_t> fluidQueued_;  // which of the two queues hold a key
  FlatHashSet<BlockKey> processed_;             // handled during the current step
  float waterTimer_ = 0.0f, lavaTimer_ = 0.0f;
  bool fluidEnabled_ = true;

  FlatHashSet<ChunkKey> dirty_;
  FlatHashSet<BlockKey> captured_;
  bool captureEnabled_ = false;
};
