#include <gtest/gtest.h>

#include <set>

#include "world/block_registry.h"

TEST(BlockRegistry, BuiltinBlocksHaveFixedIdsAndFlags) {
  BlockRegistry reg;
  ASSERT_EQ(reg.blockCount(), 15u);
  const char* names[] = {"air",    "grass",       "dirt",   "stone",     "sand",
                         "wood",   "leaves",      "snow",   "water",     "lava",
                         "planks", "cobblestone", "bricks", "bookshelf", "gravel"};
  for (BlockId id = 0; id < 15; ++id) {
    EXPECT_EQ(reg.blockDef(id).name, names[id]);
    EXPECT_EQ(reg.blockDef(id).id, std::string("orvane:") + names[id]);
  }
  EXPECT_FALSE(reg.blockDef(kBlockAir).solid);
  EXPECT_TRUE(reg.blockDef(kBlockLeaves).cutout);
  EXPECT_TRUE(reg.blockDef(kBlockWater).fluid);
  EXPECT_FALSE(reg.blockDef(kBlockWater).opaque);
  EXPECT_TRUE(reg.blockDef(kBlockLava).opaque);
  EXPECT_FALSE(reg.blockDef(kBlockLava).solid);
  EXPECT_FLOAT_EQ(reg.blockDef(kBlockStone).hardness, 1.4f);
  EXPECT_FLOAT_EQ(reg.blockDef(kBlockSand).hardness, 0.35f);
}

TEST(BlockRegistry, FacesUseTheirTextures) {
  BlockRegistry reg;
  const BlockDef& grass = reg.blockDef(kBlockGrass);
  EXPECT_EQ(grass.textureTop, 0);
  EXPECT_EQ(grass.textureSide, 1);
  EXPECT_EQ(grass.textureBottom, 2);
  const BlockDef& wood = reg.blockDef(kBlockWood);
  EXPECT_EQ(wood.textureTop, 6);
  EXPECT_EQ(wood.textureSide, 5);
  EXPECT_EQ(wood.textureBottom, 6);
  const BlockDef& shelf = reg.blockDef(kBlockBookshelf);
  EXPECT_EQ(shelf.textureTop, 17);
  EXPECT_EQ(shelf.textureSide, 20);
  EXPECT_EQ(reg.blockDef(kBlockWater).textureSide, 13);
  EXPECT_EQ(reg.blockDef(kBlockLava).textureSide, 14);
}

TEST(BlockRegistry, DropsFollowTheBuiltinTable) {
  BlockRegistry reg;
  EXPECT_EQ(reg.blockDef(kBlockGrass).drop, kBlockDirt);
  EXPECT_EQ(reg.blockDef(kBlockStone).drop, kBlockCobblestone);
  EXPECT_EQ(reg.blockDef(kBlockLeaves).drop, kBlockLeaves);
  EXPECT_EQ(reg.blockDef(kBlockAir).drop, kBlockAir);
  reg.setDrop(kBlockSand, kBlockGravel);
  EXPECT_EQ(reg.blockDef(kBlockSand).drop, kBlockGravel);
  reg.setDrop(4000, kBlockGravel);  // unknown id: ignored
  EXPECT_EQ(reg.blockCount(), 15u);
}

TEST(BlockRegistry, OutOfRangeIdsGiveTheDefaultDefinition) {
  BlockRegistry reg;
  for (BlockId id : {BlockId{15}, BlockId{1000}, kNoBlock}) {
    const BlockDef& def = reg.blockDef(id);
    EXPECT_EQ(def.id, "orvane:air");
    EXPECT_EQ(def.name, "");
    EXPECT_FALSE(def.solid || def.opaque || def.cutout || def.fluid);
    EXPECT_EQ(def.drop, 0);
  }
}

TEST(BlockRegistry, FindBlockByIdNameAndShortPart) {
  BlockRegistry reg;
  EXPECT_EQ(reg.findBlock("Stone"), kBlockStone);
  EXPECT_EQ(reg.findBlock("orvane:water"), kBlockWater);
  EXPECT_EQ(reg.findBlock("GRASS"), kBlockGrass);
  EXPECT_EQ(reg.findBlock("other:grass"), kBlockGrass);
  EXPECT_EQ(reg.findBlock("ORVANE:GRAVEL"), kBlockGravel);
  EXPECT_EQ(reg.findBlock("diamond"), kNoBlock);
  EXPECT_EQ(reg.findBlock(""), kNoBlock);
  EXPECT_EQ(reg.findBlock(":"), kNoBlock);

  BlockDef gem;
  gem.id = "test:gem";
  gem.name = "Shiny Gem";  // display names are compared as stored
  const BlockId gemId = reg.addBlock(gem);
  EXPECT_EQ(reg.findBlock("gem"), gemId);
  EXPECT_EQ(reg.findBlock("TEST:GEM"), gemId);
  EXPECT_EQ(reg.findBlock("Shiny Gem"), kNoBlock);

  // An id without a namespace is found by exact match but never by short part.
  BlockDef bare;
  bare.id = "marble";
  bare.name = "marble block";
  const BlockId bareId = reg.addBlock(bare);
  EXPECT_EQ(reg.findBlock("marble"), bareId);
  EXPECT_EQ(reg.findBlock("x:marble"), kNoBlock);
  EXPECT_EQ(reg.findBlock("marble block"), bareId);
}

TEST(BlockRegistry, FindBlockPrefersTheLowestIdAtEachStep) {
  BlockRegistry reg;
  BlockDef shadow;
  shadow.id = "mod:stone";  // same short part as orvane:stone
  shadow.name = "stone";
  reg.addBlock(shadow);
  EXPECT_EQ(reg.findBlock("stone"), kBlockStone);
  EXPECT_EQ(reg.findBlock("mod:stone"), 15);
  EXPECT_EQ(reg.findBlock("third:stone"), kBlockStone);
}

TEST(BlockRegistry, TexturesAreLowercaseUniqueAndCarrySources) {
  BlockRegistry reg;
  ASSERT_EQ(reg.textureCount(), 28u);
  EXPECT_EQ(reg.textureName(0), "grass_top");
  EXPECT_EQ(reg.textureName(13), "water");
  EXPECT_EQ(reg.textureName(27), "player_pants");
  EXPECT_EQ(reg.addTexture("Stone"), 3);
  EXPECT_EQ(reg.textureCount(), 28u);
  EXPECT_EQ(reg.findTexture("VILLAGER_FACE"), 22);
  EXPECT_EQ(reg.findTexture("ruby"), -1);

  const int ruby = reg.addTexture("Ruby");
  EXPECT_EQ(ruby, 28);
  EXPECT_EQ(reg.textureName(ruby), "ruby");
  EXPECT_EQ(reg.textureSource(ruby), "");
  reg.setTextureSource(ruby, "/tmp/mods/gems/ruby.png");
  EXPECT_EQ(reg.textureSource(ruby), "/tmp/mods/gems/ruby.png");
  reg.setTextureSource(-1, "x");
  reg.setTextureSource(99, "x");
  EXPECT_EQ(reg.textureName(-1), "");
  EXPECT_EQ(reg.textureSource(99), "");

  std::set<std::string> unique;
  for (size_t i = 0; i < reg.textureCount(); ++i) unique.insert(reg.textureName(int(i)));
  EXPECT_EQ(unique.size(), reg.textureCount());
}

TEST(BlockRegistry, FullRegistryRefusesNewBlocks) {
  BlockRegistry reg;
  BlockDef def;
  def.id = "fill:block";
  while (reg.blockCount() < kMaxBlockCount) ASSERT_NE(reg.addBlock(def), kNoBlock);
  EXPECT_EQ(reg.blockCount(), 65535u);
  EXPECT_EQ(reg.blockDef(65534).id, "fill:block");
  EXPECT_EQ(reg.addBlock(def), kNoBlock);
  EXPECT_EQ(reg.blockCount(), 65535u);
}

TEST(BlockRegistry, ProcessRegistryIsOneObject) {
  EXPECT_EQ(&blocks(), &blocks());
  EXPECT_GE(blockCount(), 15u);
  EXPECT_EQ(findBlock("lava"), kBlockLava);
  EXPECT_EQ(&blockDef(kBlockLava), &blocks().blockDef(kBlockLava));
}
