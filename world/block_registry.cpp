#include "world/block_registry.h"

#include <array>

namespace {

const BlockDef kDefaultDef{"orvane:air", "", false, false, false, false, 0, 0, 0, 0.0f, 0};
const std::string kEmpty;

constexpr std::array<const char*, kBuiltinTextureCount> kBuiltinTextures = {
    "grass_top",     "grass_side",  "dirt",         "stone",       "sand",          "wood_side",
    "wood_top",      "leaves",      "snow",         "slime_body",  "slime_face",    "pig_body",
    "pig_face",      "water",       "lava",         "heart_full",  "heart_empty",   "planks",
    "cobblestone",   "bricks",      "bookshelf",    "gravel",      "villager_face", "villager_coat",
    "villager_skin", "player_face", "player_shirt", "player_pants"};

struct BuiltinBlock {
  const char* shortName;
  bool solid, opaque, cutout, fluid;
  int top, side, bottom;
  float hardness;
  BlockId drop;
};

constexpr std::array<BuiltinBlock, kBuiltinBlockCount> kBuiltinBlocks = {{
    {"air", false, false, false, false, 0, 0, 0, 0.0f, kBlockAir},
    {"grass", true, true, false, false, kTexGrassTop, kTexGrassSide, kTexDirt, 0.4f, kBlockDirt},
    {"dirt", true, true, false, false, kTexDirt, kTexDirt, kTexDirt, 0.4f, kBlockDirt},
    {"stone", true, true, false, false, kTexStone, kTexStone, kTexStone, 1.4f, kBlockCobblestone},
    {"sand", true, true, false, false, kTexSand, kTexSand, kTexSand, 0.35f, kBlockSand},
    {"wood", true, true, false, false, kTexWoodTop, kTexWoodSide, kTexWoodTop, 1.2f, kBlockWood},
    {"leaves", true, true, true, false, kTexLeaves, kTexLeaves, kTexLeaves, 0.2f, kBlockLeaves},
    {"snow", true, true, false, false, kTexSnow, kTexSnow, kTexSnow, 0.3f, kBlockSnow},
    {"water", false, false, false, true, kTexWater, kTexWater, kTexWater, 0.0f, kBlockWater},
    {"lava", false, true, false, true, kTexLava, kTexLava, kTexLava, 0.0f, kBlockLava},
    {"planks", true, true, false, false, kTexPlanks, kTexPlanks, kTexPlanks, 0.8f, kBlockPlanks},
    {"cobblestone", true, true, false, false, kTexCobblestone, kTexCobblestone, kTexCobblestone,
     1.5f, kBlockCobblestone},
    {"bricks", true, true, false, false, kTexBricks, kTexBricks, kTexBricks, 1.6f, kBlockBricks},
    {"bookshelf", true, true, false, false, kTexPlanks, kTexBookshelf, kTexPlanks, 0.9f,
     kBlockBookshelf},
    {"gravel", true, true, false, false, kTexGravel, kTexGravel, kTexGravel, 0.5f, kBlockGravel},
}};

// Sets `out` to the text after the first ':'; false when there is no ':'.
bool shortPart(std::string_view text, std::string_view& out) {
  size_t colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  out = text.substr(colon + 1);
  return true;
}

}  // namespace

std::string toLowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

BlockRegistry::BlockRegistry() {
  for (const char* name : kBuiltinTextures) addTexture(name);
  for (const BuiltinBlock& b : kBuiltinBlocks) {
    BlockDef def;
    def.id = std::string("orvane:") + b.shortName;
    def.name = b.shortName;
    def.solid = b.solid;
    def.opaque = b.opaque;
    def.cutout = b.cutout;
    def.fluid = b.fluid;
    def.textureTop = b.top;
    def.textureSide = b.side;
    def.textureBottom = b.bottom;
    def.hardness = b.hardness;
    def.drop = b.drop;
    addBlock(def);
  }
}

BlockRegistry& blocks() {
  static BlockRegistry registry;  // initialised once, thread-safe
  return registry;
}

const BlockDef& BlockRegistry::defaultDef() {
  return kDefaultDef;
}

BlockId BlockRegistry::addBlock(const BlockDef& def) {
  if (defs_.size() >= kMaxBlockCount) return kNoBlock;
  defs_.push_back(def);
  return static_cast<BlockId>(defs_.size() - 1);
}

void BlockRegistry::setDrop(BlockId id, BlockId drop) {
  if (id < defs_.size()) defs_[id].drop = drop;
}

BlockId BlockRegistry::findBlock(std::string_view name) const {
  const std::string query = toLowerAscii(name);
  for (size_t i = 0; i < defs_.size(); ++i) {
    if (defs_[i].id == query) return static_cast<BlockId>(i);
  }
  for (size_t i = 0; i < defs_.size(); ++i) {
    if (defs_[i].name == query) return static_cast<BlockId>(i);
  }
  std::string_view queryShort = query;
  shortPart(query, queryShort);
  for (size_t i = 0; i < defs_.size(); ++i) {
    std::string_view idShort;
    if (shortPart(defs_[i].id, idShort) && idShort == queryShort) return static_cast<BlockId>(i);
  }
  return kNoBlock;
}

int BlockRegistry::addTexture(std::string_view name) {
  std::string lower = toLowerAscii(name);
  if (int existing = findTexture(lower); existing >= 0) return existing;
  textureNames_.push_back(std::move(lower));
  textureSources_.emplace_back();
  return static_cast<int>(textureNames_.size() - 1);
}

int BlockRegistry::findTexture(std::string_view name) const {
  const std::string lower = toLowerAscii(name);
  for (size_t i = 0; i < textureNames_.size(); ++i) {
    if (textureNames_[i] == lower) return static_cast<int>(i);
  }
  return -1;
}

void BlockRegistry::setTextureSource(int index, std::string_view path) {
  if (index >= 0 && static_cast<size_t>(index) < textureSources_.size()) {
    textureSources_[index] = path;
  }
}

const std::string& BlockRegistry::textureName(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= textureNames_.size()) return kEmpty;
  return textureNames_[index];
}

const std::string& BlockRegistry::textureSource(int index) const {
  if (index < 0 || static_cast<size_t>(index) >= textureSources_.size()) return kEmpty;
  return textureSources_[index];
}
