#pragma once
// The process-wide table of block types and of the block textures they name. Filled
// with the built-in blocks and textures on first use; mods append while they load.
// Nothing is ever removed. Readers on mesh worker threads take no lock, so additions
// must not happen while workers run.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using BlockId = uint16_t;

inline constexpr BlockId kNoBlock = 0xFFFF;  // lookup failed, registry full
inline constexpr size_t kMaxBlockCount = 65535;

// Built-in block ids; other code uses them as fixed numbers.
inline constexpr BlockId kBlockAir = 0;
inline constexpr BlockId kBlockGrass = 1;
inline constexpr BlockId kBlockDirt = 2;
inline constexpr BlockId kBlockStone = 3;
inline constexpr BlockId kBlockSand = 4;
inline constexpr BlockId kBlockWood = 5;
inline constexpr BlockId kBlockLeaves = 6;
inline constexpr BlockId kBlockSnow = 7;
inline constexpr BlockId kBlockWater = 8;
inline constexpr BlockId kBlockLava = 9;
inline constexpr BlockId kBlockPlanks = 10;
inline constexpr BlockId kBlockCobblestone = 11;
inline constexpr BlockId kBlockBricks = 12;
inline constexpr BlockId kBlockBookshelf = 13;
inline constexpr BlockId kBlockGravel = 14;
inline constexpr BlockId kBuiltinBlockCount = 15;

// Built-in texture indices (also the layers of the block texture array).
enum BuiltinTexture : int {
  kTexGrassTop = 0,
  kTexGrassSide,
  kTexDirt,
  kTexStone,
  kTexSand,
  kTexWoodSide,
  kTexWoodTop,
  kTexLeaves,
  kTexSnow,
  kTexSlimeBody,
  kTexSlimeFace,
  kTexPigBody,
  kTexPigFace,
  kTexWater,
  kTexLava,
  kTexHeartFull,
  kTexHeartEmpty,
  kTexPlanks,
  kTexCobblestone,
  kTexBricks,
  kTexBookshelf,
  kTexGravel,
  kTexVillagerFace,
  kTexVillagerCoat,
  kTexVillagerSkin,
  kTexPlayerFace,
  kTexPlayerShirt,
  kTexPlayerPants,
  kBuiltinTextureCount
};

struct BlockDef {
  std::string id;    // namespaced identifier, "orvane:grass" for built-ins
  std::string name;  // display name
  bool solid = false;
  bool opaque = false;
  bool cutout = false;
  bool fluid = false;
  int32_t textureTop = 0;
  int32_t textureSide = 0;
  int32_t textureBottom = 0;
  float hardness = 0.0f;
  BlockId drop = 0;
};

class BlockRegistry {
 public:
  // A registry holding the built-in blocks and textures. The game uses the one from
  // blocks(); separate instances are for tests.
  BlockRegistry();

  // Definition of `id`, or the default definition ("orvane:air", all flags off) when
  // `id` is not below blockCount().
  const BlockDef& blockDef(BlockId id) const {
    return id < defs_.size() ? defs_[id] : defaultDef();
  }
  // The definition out-of-range lookups return.
  static const BlockDef& defaultDef();
  size_t blockCount() const { return defs_.size(); }

  // Appends a block type and returns its id; kNoBlock (nothing stored) when full.
  BlockId addBlock(const BlockDef& def);
  // Sets what `id` yields when broken; ignored for an unknown id.
  void setDrop(BlockId id, BlockId drop);
  // Finds a block by identifier, display name or short identifier (case-insensitive
  // query): "GRASS", "orvane:grass" and "other:grass" all find grass. kNoBlock if none.
  BlockId findBlock(std::string_view name) const;

  // Index of the lowercased texture name, appending it (with no source) when new.
  int addTexture(std::string_view name);
  // Index of the lowercased texture name, or -1.
  int findTexture(std::string_view name) const;
  // Records the image file of a texture; ignored for an index out of range.
  void setTextureSource(int index, std::string_view path);
  // Name or source path of a texture; empty for an index out of range.
  const std::string& textureName(int index) const;
  const std::string& textureSource(int index) const;
  size_t textureCount() const { return textureNames_.size(); }

 private:
  std::vector<BlockDef> defs_;
  std::vector<std::string> textureNames_;
  std::vector<std::string> textureSources_;
};

// The registry, created and filled with the built-ins on first call (thread-safe).
BlockRegistry& blocks();

// Shorthands for the most common reads.
inline const BlockDef& blockDef(BlockId id) {
  return blocks().blockDef(id);
}
inline size_t blockCount() {
  return blocks().blockCount();
}
inline BlockId findBlock(std::string_view name) {
  return blocks().findBlock(name);
}

// ASCII lowercase copy; identifiers and texture names are compared this way.
std::string toLowerAscii(std::string_view text);
