// Self-test checks of the fluid simulation on test pools beside the spawn. Each pool
// gets a fresh world of the test seed, so the queues of one test never delay the next.

#include "app/selftest.h"
#include "world/fluid_pool.h"

namespace {

void runFluidChecks(SelfTestRun& run) {
  World w(run.world.seed);
  buildFluidPool(w, 300, 12, kBlockWater);
  runFluidTicks(w, 40, 0.2f);
  run.check(w.getBlock(300, 51, 300) == kBlockWater && w.getBlock(301, 51, 300) == kBlockWater &&
                w.fluidLevel(301, 51, 300) == 1 && w.getBlock(307, 51, 300) == kBlockWater &&
                w.getBlock(308, 51, 300) != kBlockWater,
            "water spreads seven blocks from its source");
  bool above = false;
  for (int z = 288; z <= 312; ++z) {
    for (int x = 288; x <= 312; ++x) above |= w.getBlock(x, 52, z) == kBlockWater;
  }
  run.check(!above, "water never fills above its source");
  w.setBlock(300, 51, 300, kBlockAir);
  runFluidTicks(w, 40, 0.2f);
  run.check(w.getBlock(301, 51, 300) == kBlockAir, "water recedes when its source is removed");

  World lava(run.world.seed);
  buildFluidPool(lava, 360, 8, kBlockLava);
  runFluidTicks(lava, 10, 1.0f);
  run.check(lava.getBlock(363, 51, 300) == kBlockLava && lava.getBlock(364, 51, 300) != kBlockLava,
            "lava spreads three blocks from its source");

  World quench(run.world.seed);
  buildFluidPool(quench, 420, 6, kBlockLava);
  quench.setBlockWithLevel(421, 51, 300, kBlockWater, kNoLevel);
  runFluidTicks(quench, 10, 1.0f);
  run.check(quench.getBlock(420, 51, 300) == kBlockCobblestone,
            "lava beside water turns to cobblestone");

  World still(run.world.seed);
  still.setFluidSimulation(false);
  buildFluidPool(still, 480, 6, kBlockWater);
  still.scheduleFluidAround(480, 51, 300);
  const bool nothingQueued = still.waterQueueSize() == 0 && still.lavaQueueSize() == 0;
  runFluidTicks(still, 10, 0.2f);
  run.check(nothingQueued && still.getBlock(481, 51, 300) == kBlockAir,
            "nothing flows while the simulation is disabled");
}

const SelfTestArea kFluidArea(300, "fluids", &runFluidChecks);

}  // namespace
