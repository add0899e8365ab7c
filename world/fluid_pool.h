#pragma once
// A test pool for the fluid simulation: a stone floor at y = 50 over the square of
// half-width r around (x, 300), air from y = 51 to 54 above it (raw writes), and a source
// of `fluid` at (x, 51, 300). The self test, the unit tests and the benchmarks use it.

#include "world/world.h"

inline void buildFluidPool(World& world, int x, int r, BlockId fluid, int z = 300) {
  for (int pz = z - r; pz <= z + r; ++pz) {
    for (int px = x - r; px <= x + r; ++px) {
      world.setBlockRaw(px, 50, pz, kBlockStone);
      for (int y = 51; y <= 54; ++y) world.setBlockRaw(px, y, pz, kBlockAir);
    }
  }
  world.setBlockWithLevel(x, 51, z, fluid, kNoLevel);
}

// Advances the world's simulation by `count` ticks of `dt` seconds.
inline void runFluidTicks(World& world, int count, float dt) {
  for (int i = 0; i < count; ++i) world.tick(dt);
}
