// Self-test checks of the inventory and of dropped items.

#include "app/selftest.h"
#include "game/drops.h"

namespace {

void runInventoryChecks(SelfTestRun& run) {
  Inventory inv;
  inv.clear();
  run.check(inv.isEmpty(), "inventory starts empty");
  run.check(inv.add(kBlockDirt, 70), "inventory accepts more than one stack");
  run.check(inv.count(kBlockDirt) == 70, "inventory counts stacked items");
  run.check(inv.slots[0].count == 64 && inv.slots[1].count == 6, "stacks split at 64");
  inv.select(0);
  run.check(inv.consumeSelected(1) && inv.count(kBlockDirt) == 69, "selected stack is consumed");
  run.check(!inv.consumeSelected(100) && inv.count(kBlockDirt) == 69,
            "cannot consume more than the stack holds");
  run.check(inv.remove(kBlockDirt, 69), "inventory removes items for trading");
  run.check(inv.isEmpty(), "inventory empties after removing everything");
  run.check(!inv.remove(kBlockDirt, 1), "cannot remove items that are not there");
}

void runDropChecks(SelfTestRun& run) {
  World world(run.world.seed);
  // A stone floor at y 50 above the sea, open air above it.
  for (int z = 295; z <= 305; ++z) {
    for (int x = 295; x <= 305; ++x) world.setBlockRaw(x, 50, z, kBlockStone);
  }
  std::vector<Drop> drops;
  const glm::vec3 at(300.5f, 51.4f, 300.5f);
  spawnDrop(drops, at, kBlockDirt, 1);
  spawnDrop(drops, at, kBlockDirt, 1);
  run.check(drops.size() == 1 && drops[0].count == 2, "drops merge on spawn");

  Inventory inv;
  const glm::vec3 eye(300.5f, 52.62f, 300.5f);
  bool landed = false;
  for (int i = 0; i < 300 && !landed; ++i) {
    updateDrops(world, drops, eye, inv, false, 1.0f / 60.0f);
    landed = !drops.empty() && drops[0].onGround;
  }
  run.check(landed, "drop lands on solid ground");
  for (int i = 0; i < 60 && !drops.empty(); ++i)
    updateDrops(world, drops, eye, inv, true, 1.0f / 60.0f);
  run.check(drops.empty() && inv.count(kBlockDirt) == 2, "drop is picked up into the inventory");

  Inventory full;
  for (ItemStack& s : full.slots) s = {kBlockCobblestone, kStackLimit};
  std::vector<Drop> stuck;
  spawnDrop(stuck, at, kBlockDirt, 1);
  for (int i = 0; i < 120; ++i) updateDrops(world, stuck, eye, full, true, 1.0f / 60.0f);
  run.check(stuck.size() == 1 && full.count(kBlockDirt) == 0,
            "full inventory leaves the drop on the ground");
}

const SelfTestArea kInventoryArea(520, "inventory", &runInventoryChecks);
const SelfTestArea kDropArea(530, "drops", &runDropChecks);

}  // namespace
