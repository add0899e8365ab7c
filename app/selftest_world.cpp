// Self-test checks of chunk storage: writes read back, columns unload and regenerate
// without losing edits, capture, dirty marking and the edges of the world.

#include <algorithm>

#include "app/selftest.h"
#include "world/world.h"

namespace {

bool hasDirty(const std::vector<ChunkKey>& keys, ChunkKey key) {
  return std::find(keys.begin(), keys.end(), key) != keys.end();
}

void runWorldChecks(SelfTestRun& run) {
  World& w = run.world;

  w.setBlock(56, 40, 56, kBlockGrass);
  run.check(w.getBlock(56, 40, 56) == kBlockGrass, "setBlock then getBlock returns the block");

  w.ensureColumn(-40, 25);
  run.check(w.isColumnLoaded(-40, 25), "columns generate at negative coordinates");

  w.setBlock(-635, 20, 405, kBlockBricks);
  w.unloadColumnsBeyond(0, 0, 2);
  const bool unloaded = !w.isColumnLoaded(-40, 25);
  w.ensureColumn(-40, 25);
  run.check(unloaded && w.getBlock(-635, 20, 405) == kBlockBricks,
            "edits survive unloading and regenerating a column");

  w.setBlock(-200, 50, -200, kBlockWood);
  const BlockId* recorded = w.edits().blocks.lookup(blockKey(-200, 50, -200));
  run.check(recorded != nullptr && *recorded == kBlockWood, "edit record holds the written block");

  w.setCaptureEnabled(true);
  w.setBlock(35, 48, 35, kBlockBricks);
  const std::vector<CapturedChange> first = w.takeCapturedChanges();
  const std::vector<CapturedChange> second = w.takeCapturedChanges();
  w.setCaptureEnabled(false);
  run.check(first.size() == 1 && first[0] == CapturedChange{35, 48, 35, kBlockBricks, kNoLevel} &&
                second.empty(),
            "captured changes are reported once");

  const size_t editsBefore = w.edits().blocks.size();
  w.setBlock(0, 64, 0, kBlockStone);
  w.setBlock(0, -1, 0, kBlockStone);
  w.setBlock(1048576, 10, 0, kBlockStone);
  run.check(w.getBlock(0, 64, 0) == kBlockAir && w.getBlock(0, -1, 0) == kBlockAir &&
                w.getBlock(1048576, 10, 0) == kBlockAir && w.edits().blocks.size() == editsBefore,
            "positions outside the world read air and ignore writes");

  w.takeDirtyChunks();
  w.setBlock(32, 5, 40, kBlockStone);  // local x 0 of column 2, section 0, y 5
  const std::vector<ChunkKey> dirty = w.takeDirtyChunks();
  run.check(dirty.size() == 2 && hasDirty(dirty, {2, 0, 2}) && hasDirty(dirty, {1, 0, 2}),
            "a write on a chunk face marks the neighbour dirty");

  w.setBlockWithLevel(60, 30, 60, 0xFFF0, kNoLevel);
  run.check(w.getBlock(60, 30, 60) == kBlockAir, "unknown block ids restore as air");

  w.setBlock(15, 17, 31, kBlockPlanks);
  const ChunkSnapshot snap = w.snapshot({1, 1, 1});
  run.check(
      snap.blockAt(-1, 1, 15) == kBlockPlanks && snap.blockAt(0, 0, 0) == w.getBlock(16, 16, 16),
      "snapshot carries the border of neighbouring chunks");
}

const SelfTestArea kWorldArea(100, "world storage", &runWorldChecks);

}  // namespace
