#pragma once
// World geometry: the valid coordinate ranges, floor division into columns and
// sections, and the packed keys of block positions, columns and chunks.
//
// Block coordinates: x, z in -1048575..1048575, y in 0..63. A column is 16 x 16 blocks
// of the whole height; a chunk (section) is 16 x 16 x 16, four per column, sy = y / 16.
//
// BlockKey (64 bits): bits 40-60 (x + 2^20) mod 2^21, bits 19-39 (z + 2^20) mod 2^21,
// bits 0-7 y, every other bit zero. ColumnKey (42 bits): ((cx + 2^20) mod 2^21) << 21 |
// ((cz + 2^20) mod 2^21).

#include <cstddef>
#include <cstdint>
#include <functional>

inline constexpr int kWorldLimitXZ = 1048575;  // 2^20 - 1 either way
inline constexpr int kWorldHeight = 64;
inline constexpr int kChunkSize = 16;
inline constexpr int kSectionsPerColumn = kWorldHeight / kChunkSize;
inline constexpr int kChunkVolume = kChunkSize * kChunkSize * kChunkSize;

// Floor division by 16 (x = -1 lies in column -1). C++20 shifts negative values
// arithmetically, which is exactly floor division by a power of two.
constexpr int floorDiv16(int v) {
  return v >> 4;
}
// The matching local coordinate 0..15.
constexpr int floorMod16(int v) {
  return v & 15;
}

constexpr bool insideWorldXZ(int v) {
  return v >= -kWorldLimitXZ && v <= kWorldLimitXZ;
}
constexpr bool insideWorld(int x, int y, int z) {
  return insideWorldXZ(x) && insideWorldXZ(z) && y >= 0 && y < kWorldHeight;
}
// True when column coordinate `c` holds at least one valid block coordinate.
constexpr bool columnInsideWorld(int c) {
  return c >= floorDiv16(-kWorldLimitXZ) && c <= floorDiv16(kWorldLimitXZ);
}

using BlockKey = uint64_t;
using ColumnKey = uint64_t;

constexpr uint64_t wrap21(int64_t v) {
  return static_cast<uint64_t>(v + (1 << 20)) & 0x1FFFFF;
}

constexpr BlockKey blockKey(int x, int y, int z) {
  return (wrap21(x) << 40) | (wrap21(z) << 19) | (static_cast<uint64_t>(y) & 0xFF);
}

struct BlockPos {
  int x = 0, y = 0, z = 0;
  bool operator==(const BlockPos&) const = default;
};

constexpr BlockPos unpackBlockKey(BlockKey key) {
  return {static_cast<int>((key >> 40) & 0x1FFFFF) - (1 << 20), static_cast<int>(key & 0xFF),
          static_cast<int>((key >> 19) & 0x1FFFFF) - (1 << 20)};
}

constexpr ColumnKey columnKey(int cx, int cz) {
  return (wrap21(cx) << 21) | wrap21(cz);
}

// One 16 x 16 x 16 section of a column.
struct ChunkKey {
  int32_t cx = 0, sy = 0, cz = 0;
  bool operator==(const ChunkKey&) const = default;
};

// The chunk holding a block position.
constexpr ChunkKey chunkKeyOf(int x, int y, int z) {
  return {floorDiv16(x), floorDiv16(y), floorDiv16(z)};
}

constexpr size_t chunkKeyHash(const ChunkKey& k) {
  return static_cast<size_t>((int64_t{k.cx} * 73856093) ^ (int64_t{k.cz} * 19349663) ^
                             (int64_t{k.sy} * 83492791));
}

template <>
struct std::hash<ChunkKey> {
  size_t operator()(const ChunkKey& k) const noexcept { return chunkKeyHash(k); }
};
