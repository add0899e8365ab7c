#include "world/world.h"

#include <cmath>
#include <cstring>

#include "world/terrain.h"

World::World(uint32_t seed) : seed(seed) {
  villages_.push_back(findSpawnVillage(seed));
}

// --- Reads -------------------------------------------------------------------------

const Chunk* World::findChunk(ChunkKey key) const {
  const std::unique_ptr<Chunk>* chunk = chunks_.lookup(key);
  return chunk ? chunk->get() : nullptr;
}

Chunk* World::chunkAt(ChunkKey key) {
  std::unique_ptr<Chunk>* chunk = chunks_.lookup(key);
  return chunk ? chunk->get() : nullptr;
}

BlockId World::getBlock(int x, int y, int z) const {
  if (!insideWorld(x, y, z)) return kBlockAir;
  const Chunk* chunk = findChunk(chunkKeyOf(x, y, z));
  if (chunk == nullptr) return kBlockAir;
  return chunk->at(floorMod16(x), floorMod16(y), floorMod16(z));
}

uint8_t World::fluidLevel(int x, int y, int z) const {
  if (!insideWorld(x, y, z)) return 0;
  const uint8_t* level = edits_.levels.lookup(blockKey(x, y, z));
  return level ? *level : 0;
}

bool World::isColumnLoaded(int cx, int cz) const {
  return chunks_.contains({cx, 0, cz});
}

bool World::chunkLoaded(ChunkKey key) const {
  return chunks_.contains(key);
}

size_t World::chunkMemoryBytes() const {
  return chunks_.memoryBytes() + chunks_.size() * sizeof(Chunk);
}

// --- Writes ------------------------------------------------------------------------

void World::setBlockRaw(int x, int y, int z, BlockId id) {
  if (!insideWorld(x, y, z)) return;
  const ChunkKey key = chunkKeyOf(x, y, z);
  const int index = Chunk::index(floorMod16(x), floorMod16(y), floorMod16(z));
  if (generating_) {
    // Generation writes land in the column being generated and nowhere else.
    if (key.cx == generatingCx_ && key.cz == generatingCz_) {
      generatingSections_[key.sy]->blocks[index] = id;
    }
    return;
  }
  Chunk* chunk = chunkAt(key);
  if (chunk == nullptr) {
    ensureColumn(key.cx, key.cz);
    chunk = chunkAt(key);
  }
  if (chunk != nullptr)
    chunk->blocks[Chunk::index(floorMod16(x), floorMod16(y), floorMod16(z))] = id;
}

void World::recordEdit(BlockKey key, BlockId id) {
  auto [entry, inserted] = edits_.blocks.try_emplace(key, id);
  if (!inserted) {
    entry->second = id;
    return;
  }
  const BlockPos pos = unpackBlockKey(key);
  columnEdits_[columnKey(floorDiv16(pos.x), floorDiv16(pos.z))].push_back(key);
}

void World::storeLevel(BlockKey key, uint8_t level) {
  edits_.levels[key] = level;
  const BlockPos pos = unpackBlockKey(key);
  chunkLevels_[chunkKeyOf(pos.x, pos.y, pos.z)][key] = level;
}

void World::eraseLevel(BlockKey key) {
  if (edits_.levels.erase(key) == 0) return;
  const BlockPos pos = unpackBlockKey(key);
  const ChunkKey chunk = chunkKeyOf(pos.x, pos.y, pos.z);
  FlatHashMap<BlockKey, uint8_t>* levels = chunkLevels_.lookup(chunk);
  if (levels == nullptr) return;
  levels->erase(key);
  if (levels->empty()) chunkLevels_.erase(chunk);
}

void World::setBlock(int x, int y, int z, BlockId id) {
  if (!insideWorld(x, y, z)) return;
  setBlockRaw(x, y, z, id);
  const BlockKey key = blockKey(x, y, z);
  recordEdit(key, id);
  eraseLevel(key);
  if (captureEnabled_) captured_.insert(key);
  markDirty(x, y, z);
  scheduleFluidAround(x, y, z);
}

void World::setBlockWithLevel(int x, int y, int z, BlockId id, uint8_t level) {
  if (!insideWorld(x, y, z)) return;
  if (id >= blockCount()) id = kBlockAir;
  const BlockKey key = blockKey(x, y, z);
  recordEdit(key, id);
  if (level != kNoLevel && blockDef(id).fluid) {
    storeLevel(key, level);
  } else {
    eraseLevel(key);
  }
  if (Chunk* chunk = chunkAt(chunkKeyOf(x, y, z))) {
    chunk->blocks[Chunk::index(floorMod16(x), floorMod16(y), floorMod16(z))] = id;
    if (blockDef(id).fluid) scheduleFluidAround(x, y, z);
  }
}

// A block on a chunk face, edge or corner also dirties each face neighbour it touches.
void World::markDirty(int x, int y, int z) {
  const int cx = floorDiv16(x), sy = floorDiv16(y), cz = floorDiv16(z);
  const int lx = floorMod16(x), ly = floorMod16(y), lz = floorMod16(z);
  dirty_.insert({cx, sy, cz});
  if (lx == 0) dirty_.insert({cx - 1, sy, cz});
  if (lx == 15) dirty_.insert({cx + 1, sy, cz});
  if (ly == 15 && sy < kSectionsPerColumn - 1) dirty_.insert({cx, sy + 1, cz});
  if (ly == 0 && sy > 0) dirty_.insert({cx, sy - 1, cz});
  if (lz == 0) dirty_.insert({cx, sy, cz - 1});
  if (lz == 15) dirty_.insert({cx, sy, cz + 1});
}

// --- Columns -----------------------------------------------------------------------

void World::ensureColumn(int cx, int cz) {
  if (generating_ || isColumnLoaded(cx, cz)) return;
  if (!columnInsideWorld(cx) || !columnInsideWorld(cz)) return;
  generateColumn(cx, cz);
}

void World::generateColumn(int cx, int cz) {
  generating_ = true;
  generatingCx_ = cx;
  generatingCz_ = cz;
  Chunk* const* sections = generatingSections_;
  for (int sy = 0; sy < kSectionsPerColumn; ++sy) {
    auto chunk = std::make_unique<Chunk>();
    generatingSections_[sy] = chunk.get();
    chunks_.try_emplace({cx, sy, cz}, std::move(chunk));
  }
  generateTerrainColumn(*this, cx, cz);
  generating_ = false;

  // Put the player's edits back on top of the regenerated terrain.
  const std::vector<BlockKey>* keys = columnEdits_.lookup(columnKey(cx, cz));
  if (keys == nullptr) return;
  for (BlockKey key : *keys) {
    const BlockId* id = edits_.blocks.lookup(key);
    if (id == nullptr) continue;
    const BlockPos p = unpackBlockKey(key);
    sections[floorDiv16(p.y)]
        ->blocks[Chunk::index(floorMod16(p.x), floorMod16(p.y), floorMod16(p.z))] = *id;
  }
}

void World::ensureColumnsAround(double x, double z, int r) {
  if (!std::isfinite(x) || !std::isfinite(z) || r < 0) return;
  const double limit = kWorldLimitXZ + 1.0;
  if (x < -limit || x > limit || z < -limit || z > limit) return;
  const int cx = floorDiv16(static_cast<int>(std::floor(x)));
  const int cz = floorDiv16(static_cast<int>(std::floor(z)));
  for (int dz = -r; dz <= r; ++dz) {
    for (int dx = -r; dx <= r; ++dx) ensureColumn(cx + dx, cz + dz);
  }
}

void World::unloadColumnsBeyond(int cx, int cz, int r) {
  const int64_t reach = r;
  chunks_.eraseIf([&](const auto& entry) {
    const ChunkKey& k = entry.first;
    return std::llabs(int64_t{k.cx} - cx) > reach || std::llabs(int64_t{k.cz} - cz) > reach;
  });
}

void World::unloadColumnsAwayFrom(const std::vector<ColumnPos>& centres, int r) {
  const int64_t reach = r;
  chunks_.eraseIf([&](const auto& entry) {
    const ChunkKey& k = entry.first;
    for (const ColumnPos& c : centres) {
      if (std::llabs(int64_t{k.cx} - c.cx) <= reach && std::llabs(int64_t{k.cz} - c.cz) <= reach) {
        return false;
      }
    }
    return true;
  });
}

// --- Dirty set and capture -----------------------------------------------------------

std::vector<ChunkKey> World::takeDirtyChunks() {
  std::vector<ChunkKey> keys(dirty_.begin(), dirty_.end());
  dirty_.clear();
  return keys;
}

void World::setCaptureEnabled(bool on) {
  captureEnabled_ = on;
  if (!on) captured_.clear();
}

std::vector<CapturedChange> World::takeCapturedChanges() {
  std::vector<CapturedChange> changes;
  changes.reserve(captured_.size());
  for (BlockKey key : captured_) {
    const BlockId* id = edits_.blocks.lookup(key);
    if (id == nullptr) continue;
    const uint8_t* level = edits_.levels.lookup(key);
    const BlockPos p = unpackBlockKey(key);
    changes.push_back({p.x, p.y, p.z, *id, level ? *level : kNoLevel});
  }
  captured_.clear();
  return changes;
}

// --- Snapshot ------------------------------------------------------------------------

namespace {

// Which neighbour (0, 1, 2 for -1, 0, +1) holds snapshot coordinate v (-1..16).
int neighbourOffset(int v) {
  return v < 0 ? 0 : (v > 15 ? 2 : 1);
}

bool columnInsideWorld64(int64_t c) {
  return c >= floorDiv16(-kWorldLimitXZ) && c <= floorDiv16(kWorldLimitXZ);
}

}  // namespace

ChunkSnapshot World::snapshot(ChunkKey key) const {
  ChunkSnapshot out;
  snapshotInto(key, out);
  return out;
}

// Copies whole 16-block rows out of each touched chunk: one table lookup per
// neighbouring chunk instead of one per cell.
void World::snapshotInto(ChunkKey key, ChunkSnapshot& out) const {
  constexpr int S = ChunkSnapshot::kSide;
  out.key = key;
  out.blocks.fill(kBlockAir);
  out.levels.fill(0);

  // The 3 x 3 x 3 neighbourhood of chunks, [dy][dz][dx] for offsets -1..1.
  const Chunk* near[3][3][3] = {};
  for (int dy = -1; dy <= 1; ++dy) {
    const int64_t nsy = int64_t{key.sy} + dy;
    if (nsy < 0 || nsy >= kSectionsPerColumn) continue;
    for (int dz = -1; dz <= 1; ++dz) {
      const int64_t ncz = int64_t{key.cz} + dz;
      for (int dx = -1; dx <= 1; ++dx) {
        const int64_t ncx = int64_t{key.cx} + dx;
        if (!columnInsideWorld64(ncx) || !columnInsideWorld64(ncz)) continue;
        near[dy + 1][dz + 1][dx + 1] = findChunk(
            {static_cast<int32_t>(ncx), static_cast<int32_t>(nsy), static_cast<int32_t>(ncz)});
      }
    }
  }

  // Cells just outside the world along x or z sit in loaded edge columns but must read
  // as air; nothing ever writes there, so copying them is safe.
  for (int y = -1; y <= 16; ++y) {
    const int dy = neighbourOffset(y), ly = floorMod16(y);
    for (int z = -1; z <= 16; ++z) {
      const int dz = neighbourOffset(z), lz = floorMod16(z);
      BlockId* row = &out.blocks[ChunkSnapshot::index(-1, y, z)];
      if (const Chunk* west = near[dy][dz][0]) row[0] = west->at(15, ly, lz);
      if (const Chunk* mid = near[dy][dz][1]) {
        std::memcpy(row + 1, &mid->blocks[Chunk::index(0, ly, lz)], 16 * sizeof(BlockId));
      }
      if (const Chunk* east = near[dy][dz][2]) row[S - 1] = east->at(0, ly, lz);
    }
  }

  // Levels of fluid cells, from the level entries of the loaded neighbours.
  const BlockRegistry& registry = blocks();
  const int64_t baseX = int64_t{key.cx} * 16, baseY = int64_t{key.sy} * 16;
  const int64_t baseZ = int64_t{key.cz} * 16;
  for (int dy = 0; dy < 3; ++dy) {
    for (int dz = 0; dz < 3; ++dz) {
      for (int dx = 0; dx < 3; ++dx) {
        if (near[dy][dz][dx] == nullptr) continue;
        const FlatHashMap<BlockKey, uint8_t>* levels =
            chunkLevels_.lookup({key.cx + dx - 1, key.sy + dy - 1, key.cz + dz - 1});
        if (levels == nullptr) continue;
        for (const auto& [blockKeyValue, level] : *levels) {
          const BlockPos p = unpackBlockKey(blockKeyValue);
          const int64_t x = p.x - baseX, y = p.y - baseY, z = p.z - baseZ;
          if (x < -1 || x > 16 || y < -1 || y > 16 || z < -1 || z > 16) continue;
          const int i = ChunkSnapshot::index(int(x), int(y), int(z));
          if (registry.blockDef(out.blocks[i]).fluid) out.levels[i] = level;
        }
      }
    }
  }
}
