// Water and lava. Each queued position triggers a recomputation of the whole connected
// body of fluid around it:
//   1. region search: the cells the fluid may occupy (air at or below the starting
//      height, flowing fluid at any height; at most kFluidRegionCap cells) and the
//      sources touching them;
//   2. distances: breadth first from the sources, with improvements; a horizontal step
//      adds one up to the fluid's reach, a step down starts again at one;
//   3. apply: flowing blocks without a distance recede, re-levelled ones get their new
//      level, air with a distance fills (recorded like a player edit);
//   4. quenching: lava touching water turns to cobblestone;
//   5. every cell handled joins the processed set, so a step recomputes a body once.
// A body larger than the cap (open air below a lake's surface, say) is cut at the cap;
// after one such body a step recomputes nothing more, since each further position
// would likely search a different part of the same endless body at full cost.

#include <vector>

#include "world/world.h"

namespace {

struct Dir {
  int dx, dy, dz;
};
// The order every search below uses: +x, -x, +y, -y, +z, -z.
constexpr Dir kSixDirs[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
// Where distances spread from a cell: +x, -x, +z, -z, then down.
constexpr Dir kSpreadDirs[5] = {{1, 0, 0}, {-1, 0, 0}, {0, 0, 1}, {0, 0, -1}, {0, -1, 0}};

constexpr float kWaterStepSeconds = 0.15f;
constexpr float kLavaStepSeconds = 0.7f;
constexpr int kWaterKeysPerStep = 32;
constexpr int kLavaKeysPerStep = 16;
constexpr int kIdleKeysPerStep = 4096;

uint8_t reachOf(BlockId fluid) {
  return fluid == kBlockWater ? 7 : 3;
}

// Block reads for the searches, which mostly step between neighbours of one chunk:
// the last chunk looked up is kept. Valid only while nothing writes to the world.
class CachedReader {
 public:
  explicit CachedReader(const World& world) : world_(world) {}

  BlockId at(int x, int y, int z) {
    if (!insideWorld(x, y, z)) return kBlockAir;
    const ChunkKey key = chunkKeyOf(x, y, z);
    if (!hasLast_ || !(key == lastKey_)) {
      last_ = world_.findChunk(key);
      lastKey_ = key;
      hasLast_ = true;
    }
    return last_ ? last_->at(floorMod16(x), floorMod16(y), floorMod16(z)) : kBlockAir;
  }

 private:
  const World& world_;
  const Chunk* last_ = nullptr;
  ChunkKey lastKey_;
  bool hasLast_ = false;
};

}  // namespace

// --- Queues --------------------------------------------------------------------------

// Which queues hold a key: one table for both, so an air position costs one lookup.
enum : uint8_t { kInWaterQueue = 1, kInLavaQueue = 2 };

void World::queueFluidKey(BlockKey key, BlockId id) {
  const uint8_t wanted = id == kBlockAir     ? (kInWaterQueue | kInLavaQueue)
                         : id == kBlockWater ? kInWaterQueue
                         : id == kBlockLava  ? kInLavaQueue
                                             : 0;
  if (wanted == 0) return;
  uint8_t& queued = fluidQueued_[key];
  const uint8_t added = wanted & ~queued;
  queued |= wanted;
  if (added & kInWaterQueue) waterQueue_.push_back(key);
  if (added & kInLavaQueue) lavaQueue_.push_back(key);
}

void World::scheduleFluid(int x, int y, int z) {
  if (!fluidEnabled_ || !insideWorld(x, y, z)) return;
  queueFluidKey(blockKey(x, y, z), getBlock(x, y, z));
}

void World::scheduleFluidAround(int x, int y, int z) {
  if (!fluidEnabled_ || !insideWorld(x, y, z)) return;
  // Most neighbours share the centre's chunk: read them from it directly.
  const Chunk* chunk = findChunk(chunkKeyOf(x, y, z));
  const int lx = floorMod16(x), ly = floorMod16(y), lz = floorMod16(z);
  queueFluidKey(blockKey(x, y, z), chunk ? chunk->at(lx, ly, lz) : kBlockAir);
  for (const Dir& d : kSixDirs) {
    const int nx = lx + d.dx, ny = ly + d.dy, nz = lz + d.dz;
    const bool inside = nx >= 0 && nx < 16 && ny >= 0 && ny < 16 && nz >= 0 && nz < 16;
    if (!inside) {
      scheduleFluid(x + d.dx, y + d.dy, z + d.dz);
    } else if (insideWorld(x + d.dx, y + d.dy, z + d.dz)) {
      queueFluidKey(blockKey(x + d.dx, y + d.dy, z + d.dz),
                    chunk ? chunk->at(nx, ny, nz) : kBlockAir);
    }
  }
}

void World::setFluidSimulation(bool on) {
  fluidEnabled_ = on;
  if (on) return;
  waterQueue_.clear();
  lavaQueue_.clear();
  fluidQueued_.clear();
}

void World::tick(float dt) {
  waterTimer_ += dt;
  lavaTimer_ += dt;
  if (waterTimer_ >= kWaterStepSeconds) {
    waterTimer_ = 0.0f;
    runFluidStep(waterQueue_, kInWaterQueue, kWaterKeysPerStep);
  }
  if (lavaTimer_ >= kLavaStepSeconds) {
    lavaTimer_ = 0.0f;
    runFluidStep(lavaQueue_, kInLavaQueue, kLavaKeysPerStep);
  }
}

// Only keys that recompute a body count against the step's limit: keys that would do
// nothing (handled already this step, solid blocks, air away from any fluid) are
// dropped on the way, at most kIdleKeysPerStep of them per step so that a long backlog
// cannot stall a frame. Past that bound they count against the limit again. After a
// body that reached the cap, a key that would recompute ends the step and stays queued.
void World::runFluidStep(std::deque<BlockKey>& queue, uint8_t queueBit, int limit) {
  processed_.clear();
  int used = 0, dropped = 0;
  bool capped = false;
  while (used < limit && !queue.empty()) {
    const BlockKey key = queue.front();
    const BlockPos p = unpackBlockKey(key);
    const bool idle = processed_.contains(key) || !wouldRecompute(p.x, p.y, p.z);
    if (capped && !idle) break;
    queue.pop_front();
    if (uint8_t* queued = fluidQueued_.lookup(key)) {
      *queued &= static_cast<uint8_t>(~queueBit);
      if (*queued == 0) fluidQueued_.erase(key);
    }
    if (idle && dropped < kIdleKeysPerStep) {
      ++dropped;
      continue;
    }
    ++used;
    if (!idle) capped = processFluidCell(p.x, p.y, p.z);
  }
}

// --- One body ------------------------------------------------------------------------

bool World::wouldRecompute(int x, int y, int z) const {
  if (!insideWorld(x, y, z)) return false;
  CachedReader read(*this);
  const BlockId id = read.at(x, y, z);
  if (blockDef(id).fluid) return true;
  if (id != kBlockAir) return false;
  for (const Dir& d : kSixDirs) {
    const BlockId next = read.at(x + d.dx, y + d.dy, z + d.dz);
    if (next == kBlockWater || next == kBlockLava) return true;
  }
  return false;
}

bool World::processFluidCell(int x, int y, int z) {
  if (!insideWorld(x, y, z)) return false;
  const BlockId id = getBlock(x, y, z);
  if (blockDef(id).fluid) return recomputeFluidBody(x, y, z, id);
  if (id != kBlockAir) return false;
  auto touches = [&](BlockId fluid) {
    for (const Dir& d : kSixDirs) {
      if (getBlock(x + d.dx, y + d.dy, z + d.dz) == fluid) return true;
    }
    return false;
  };
  bool capped = false;
  if (touches(kBlockWater)) capped = recomputeFluidBody(x, y, z, kBlockWater);
  if (touches(kBlockLava)) capped = recomputeFluidBody(x, y, z, kBlockLava) || capped;
  return capped;
}

void World::setFlowLevel(int x, int y, int z, uint8_t level) {
  const BlockKey key = blockKey(x, y, z);
  storeLevel(key, level);
  if (captureEnabled_) captured_.insert(key);
  markDirty(x, y, z);
}

void World::quenchAround(int x, int y, int z) {
  auto touchesWater = [&](int px, int py, int pz) {
    for (const Dir& d : kSixDirs) {
      if (getBlock(px + d.dx, py + d.dy, pz + d.dz) == kBlockWater) return true;
    }
    return false;
  };
  for (const Dir& d : kSixDirs) {
    const int nx = x + d.dx, ny = y + d.dy, nz = z + d.dz;
    if (getBlock(nx, ny, nz) == kBlockLava && touchesWater(nx, ny, nz)) {
      setBlock(nx, ny, nz, kBlockCobblestone);
    }
  }
}

bool World::recomputeFluidBody(int x0, int y0, int z0, BlockId fluid) {
  if (!insideWorld(x0, y0, z0)) return false;
  const uint8_t reach = reachOf(fluid);
  CachedReader read(*this);
  auto levelOf = [&](BlockKey key) -> uint8_t {
    const uint8_t* level = edits_.levels.lookup(key);
    return level ? *level : 0;
  };

  // 1. Region search. One table holds what is known of a position: a region cell, a
  // source, or a position the candidate test turned down (which a visit may still find
  // to be a source).
  enum : uint8_t { kRegion = 1, kSource = 2, kRejected = 3 };
  // Mostly asked about positions not seen yet: kept at most half full.
  FlatHashMap<BlockKey, uint8_t, std::hash<BlockKey>, std::equal_to<BlockKey>, 50> known;
  std::vector<BlockPos> sources, queue, region;
  size_t head = 0;
  auto isRegion = [&](BlockKey key) {
    const uint8_t* state = known.lookup(key);
    return state != nullptr && *state == kRegion;
  };
  // Air counts only up to the starting height, flowing fluid at any height: a search
  // that starts below a waterfall must still climb it to the source that feeds it, or
  // the water below would recede and refill for ever.
  auto candidate = [&](int x, int y, int z) {
    if (!insideWorld(x, y, z)) return;
    const BlockKey key = blockKey(x, y, z);
    auto [entry, inserted] = known.try_emplace(key, kRejected);
    if (!inserted) return;
    const BlockId id = read.at(x, y, z);
    if ((id == kBlockAir && y <= y0) || (id == fluid && levelOf(key) != 0)) {
      entry->second = kRegion;
      queue.push_back({x, y, z});
    }
  };
  auto addSource = [&](int x, int y, int z, BlockKey key) {
    known[key] = kSource;
    sources.push_back({x, y, z});
    for (const Dir& d : kSixDirs) candidate(x + d.dx, y + d.dy, z + d.dz);
  };
  auto isSource = [&](int x, int y, int z, BlockKey key) {
    return read.at(x, y, z) == fluid && levelOf(key) == 0;
  };
  auto visit = [&](int x, int y, int z) {
    const BlockKey key = blockKey(x, y, z);
    const uint8_t* state = known.lookup(key);
    if (state != nullptr && *state != kRejected) return;
    if (isSource(x, y, z, key)) {
      addSource(x, y, z, key);
    } else if (state == nullptr) {
      candidate(x, y, z);
    }
  };
  const BlockKey startKey = blockKey(x0, y0, z0);
  if (isSource(x0, y0, z0, startKey)) {
    addSource(x0, y0, z0, startKey);
  } else {
    visit(x0, y0, z0);
  }
  while (head < queue.size() && region.size() < kFluidRegionCap) {
    const BlockPos p = queue[head++];
    region.push_back(p);
    for (const Dir& d : kSixDirs) {
      const int nx = p.x + d.dx, ny = p.y + d.dy, nz = p.z + d.dz;
      if (insideWorld(nx, ny, nz)) visit(nx, ny, nz);
    }
  }

  // 2. Distances.
  FlatHashMap<BlockKey, uint8_t, std::hash<BlockKey>, std::equal_to<BlockKey>, 50> distance;
  std::vector<BlockPos> open;
  auto offer = [&](int x, int y, int z, uint8_t d) {
    if (!insideWorld(x, y, z)) return;
    const BlockKey key = blockKey(x, y, z);
    if (!isRegion(key)) return;
    auto [entry, inserted] = distance.try_emplace(key, d);
    if (!inserted) {
      if (entry->second <= d) return;
      entry->second = d;
    }
    open.push_back({x, y, z});
  };
  for (const BlockPos& s : sources) {
    for (const Dir& d : kSpreadDirs) offer(s.x + d.dx, s.y + d.dy, s.z + d.dz, 1);
  }
  for (size_t i = 0; i < open.size(); ++i) {
    const BlockPos m = open[i];
    const uint8_t v = *distance.lookup(blockKey(m.x, m.y, m.z)) + 1;
    for (const Dir& d : kSpreadDirs) {
      const bool down = d.dy != 0;
      if (down || v <= reach) offer(m.x + d.dx, m.y + d.dy, m.z + d.dz, down ? 1 : v);
    }
  }

  // 3. Apply.
  for (const BlockPos& p : region) {
    const BlockKey key = blockKey(p.x, p.y, p.z);
    const BlockId id = getBlock(p.x, p.y, p.z);
    const uint8_t* d = distance.lookup(key);
    if (id == fluid && levelOf(key) != 0) {
      if (d == nullptr) {
        setBlock(p.x, p.y, p.z, kBlockAir);
      } else if (levelOf(key) != *d) {
        setFlowLevel(p.x, p.y, p.z, *d);
      }
    } else if (id == kBlockAir && d != nullptr) {
      const uint8_t level = *d;
      setBlock(p.x, p.y, p.z, fluid);
      storeLevel(key, level);
      markDirty(p.x, p.y, p.z);
    }
  }

  // 4. Quenching.
  if (fluid == kBlockWater) {
    for (const BlockPos& s : sources) quenchAround(s.x, s.y, s.z);
    for (const BlockPos& p : region) {
      if (getBlock(p.x, p.y, p.z) == kBlockWater) quenchAround(p.x, p.y, p.z);
    }
  } else {
    auto quenchSelf = [&](const BlockPos& p) {
      if (getBlock(p.x, p.y, p.z) != kBlockLava) return;
      for (const Dir& d : kSixDirs) {
        if (getBlock(p.x + d.dx, p.y + d.dy, p.z + d.dz) == kBlockWater) {
          setBlock(p.x, p.y, p.z, kBlockCobblestone);
          return;
        }
      }
    };
    for (const BlockPos& s : sources) quenchSelf(s);
    for (const BlockPos& p : region) quenchSelf(p);
  }

  // 5. Processed.
  for (const BlockPos& p : region) processed_.insert(blockKey(p.x, p.y, p.z));
  for (const BlockPos& s : sources) processed_.insert(blockKey(s.x, s.y, s.z));
  return head < queue.size();
}
