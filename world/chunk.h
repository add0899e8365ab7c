#pragma once
// Chunk storage and the padded chunk copy the mesher works on.

#include <array>
#include <cstdint>

#include "world/block_registry.h"
#include "world/coords.h"

// 4096 block ids of one section; (lx, ly, lz) is at lx + 16 lz + 256 ly.
struct Chunk {
  std::array<BlockId, kChunkVolume> blocks{};

  static constexpr int index(int lx, int ly, int lz) { return lx + 16 * lz + 256 * ly; }
  BlockId at(int lx, int ly, int lz) const { return blocks[index(lx, ly, lz)]; }
};

// A chunk with a one-block border: local coordinates -1..16 on each axis. Air outside
// the world and in chunks that are not loaded; levels only where the block is a fluid.
struct ChunkSnapshot {
  static constexpr int kSide = 18;
  static constexpr int kVolume = kSide * kSide * kSide;

  ChunkKey key;
  std::array<BlockId, kVolume> blocks{};
  std::array<uint8_t, kVolume> levels{};

  // Index of local cell (x, y, z), each -1..16: x fastest, then z, then y.
  static constexpr int index(int x, int y, int z) {
    return ((y + 1) * kSide + (z + 1)) * kSide + (x + 1);
  }
  BlockId blockAt(int x, int y, int z) const { return blocks[index(x, y, z)]; }
  uint8_t levelAt(int x, int y, int z) const { return levels[index(x, y, z)]; }
};
