#include <gtest/gtest.h>

#include "../support/recording_renderer.h"
#include "game/drops.h"
#include "game/models.h"

namespace {

struct Floor {
  World w{20261018};
  Floor() {
    for (int z = 295; z <= 305; ++z) {
      for (int x = 295; x <= 305; ++x) w.setBlockRaw(x, 50, z, kBlockStone);
    }
  }
};

constexpr float kStep = 1.0f / 60.0f;

}  // namespace

TEST(Inventory, PartialAddsAndRoom) {
  Inventory inv;
  for (int i = 0; i < kInventorySlots - 1; ++i) inv.slots[i] = {kBlockStone, 64};
  inv.slots[35] = {kBlockDirt, 24};
  EXPECT_EQ(inv.roomFor(kBlockDirt), 40);
  EXPECT_EQ(inv.roomFor(kBlockSand), 0);
  EXPECT_FALSE(inv.add(kBlockDirt, 100));
  EXPECT_EQ(inv.count(kBlockDirt), 64) << "the 40 that fit stay";
  EXPECT_TRUE(inv.add(kBlockAir, 5));
  EXPECT_TRUE(inv.add(kBlockDirt, 0));

  Inventory gaps;
  gaps.slots[3] = {kBlockSand, 60};
  gaps.slots[1] = {kBlockSand, 0};  // a stale id with no items counts as empty
  EXPECT_TRUE(gaps.add(kBlockSand, 10));
  EXPECT_EQ(gaps.slots[3].count, 64) << "existing stacks are topped up first";
  EXPECT_EQ(gaps.slots[0], (ItemStack{kBlockSand, 6}));
  gaps.select(12);
  EXPECT_EQ(gaps.selected, 8);
  gaps.select(-3);
  EXPECT_EQ(gaps.selected, 0);
}

TEST(Inventory, CursorClicksPickPlaceSwapAndMerge) {
  ItemStack slot{kBlockDirt, 10}, cursor{};
  clickInventorySlot(slot, cursor);
  EXPECT_TRUE(slot.empty());
  EXPECT_EQ(cursor, (ItemStack{kBlockDirt, 10}));
  clickInventorySlot(slot, cursor);
  EXPECT_EQ(slot, (ItemStack{kBlockDirt, 10}));
  EXPECT_TRUE(cursor.empty());

  ItemStack other{kBlockSand, 5};
  cursor = other;
  clickInventorySlot(slot, cursor);
  EXPECT_EQ(slot, other);
  EXPECT_EQ(cursor, (ItemStack{kBlockDirt, 10}));

  slot = {kBlockDirt, 60};
  clickInventorySlot(slot, cursor);
  EXPECT_EQ(slot.count, 64);
  EXPECT_EQ(cursor, (ItemStack{kBlockDirt, 6}));
  slot = {kBlockDirt, 58};
  clickInventorySlot(slot, cursor);
  EXPECT_EQ(slot.count, 64);
  EXPECT_TRUE(cursor.empty());

  Inventory inv;
  ItemStack held{kBlockPlanks, 20};
  returnCursorStack(inv, held);
  EXPECT_EQ(inv.count(kBlockPlanks), 20);
  EXPECT_TRUE(held.empty());
}

TEST(Inventory, VillagersTradeBookshelvesForPlanksWithSurvivors) {
  Inventory inv;
  inv.add(kBlockPlanks, 12);
  EXPECT_EQ(tradeWithVillager(inv, 0), TradeResult::SurvivorsOnly);
  EXPECT_EQ(tradeWithVillager(inv, 2), TradeResult::SurvivorsOnly);
  EXPECT_EQ(tradeWithVillager(inv, 1), TradeResult::Traded);
  EXPECT_EQ(inv.count(kBlockPlanks), 4);
  EXPECT_EQ(inv.count(kBlockBookshelf), 1);
  EXPECT_EQ(tradeWithVillager(inv, 1), TradeResult::NeedPlanks);
  EXPECT_EQ(inv.count(kBlockPlanks), 4);
  EXPECT_STREQ(tradeMessage(TradeResult::NeedPlanks), "Villagers want 8 planks");
}

TEST(Drops, PickupWaitsAndMergingDelaysIt) {
  Floor floor;
  World& w = floor.w;
  std::vector<Drop> drops;
  Inventory inv;
  const glm::vec3 eye(300.5f, 52.62f, 300.5f);
  spawnDrop(drops, {300.5f, 51.2f, 300.5f}, kBlockDirt, 1);
  for (int i = 0; i < 20; ++i) updateDrops(w, drops, eye, inv, true, kStep);
  EXPECT_EQ(drops.size(), 1u) << "not before 0.35 s";
  for (int i = 0; i < 5; ++i) updateDrops(w, drops, eye, inv, true, kStep);
  EXPECT_TRUE(drops.empty());
  EXPECT_EQ(inv.count(kBlockDirt), 1);

  spawnDrop(drops, {300.5f, 51.2f, 300.5f}, kBlockSand, 1);
  drops[0].age = 10.0f;
  spawnDrop(drops, {300.6f, 51.2f, 300.5f}, kBlockSand, 2);
  ASSERT_EQ(drops.size(), 1u);
  EXPECT_FLOAT_EQ(drops[0].age, kDropPickupDelay);
  spawnDrop(drops, {301.5f, 51.2f, 300.5f}, kBlockSand, 1);
  EXPECT_EQ(drops.size(), 2u) << "farther than 0.6: a new drop";
  EXPECT_FLOAT_EQ(drops[1].spin, 0.35f);
  updateDrops(w, drops, {0, 100, 0}, inv, true, kStep);
  EXPECT_EQ(drops.size(), 2u) << "out of reach";
}

TEST(Drops, LavaBurnsWaterSinksAndOldDropsVanish) {
  Floor floor;
  World& w = floor.w;
  Inventory inv;
  w.setBlockRaw(298, 51, 298, kBlockLava);
  std::vector<Drop> drops;
  spawnDrop(drops, {298.5f, 51.5f, 298.5f}, kBlockDirt, 1);
  spawnDrop(drops, {302.5f, 51.5f, 302.5f}, kBlockStone, 1);
  drops[1].age = 299.999f;
  spawnDrop(drops, {303.5f, 51.5f, 296.5f}, kBlockSand, 1);
  updateDrops(w, drops, {0, 100, 0}, inv, false, kStep);
  ASSERT_EQ(drops.size(), 1u);
  EXPECT_EQ(drops[0].item, kBlockSand) << "order of the rest is kept";

  for (int y = 51; y <= 60; ++y) w.setBlockRaw(296, y, 304, kBlockWater);
  std::vector<Drop> sinking;
  spawnDrop(sinking, {296.5f, 58.5f, 304.5f}, kBlockDirt, 1);
  for (int i = 0; i < 60; ++i) updateDrops(w, sinking, {0, 100, 0}, inv, false, kStep);
  EXPECT_GT(sinking[0].position.y, 55.0f) << "a second of sinking covers little ground";
  EXPECT_LT(sinking[0].position.y, 58.5f);

  std::vector<Drop> far;
  spawnDrop(far, {9000.5f, 40.0f, 9000.5f}, kBlockDirt, 1);
  updateDrops(w, far, {0, 100, 0}, inv, true, kStep);
  EXPECT_EQ(far[0].position.y, 40.0f) << "unloaded columns hold their drops still";
}

TEST(Models, FacesPointForwardAndSlotsAreRegisteredInOrder) {
  const ChunkMesh pig = pigModel();
  EXPECT_EQ(pig.vertices.size(), 6u * 24);
  int faceVertices = 0;
  for (const ChunkVertex& v : pig.vertices) {
    if (v.layer != kTexPigFace) continue;
    ++faceVertices;
    EXPECT_FLOAT_EQ(v.x, 0.56f);
  }
  EXPECT_EQ(faceVertices, 4);
  for (const ChunkVertex& v : slimeModel().vertices) {
    if (v.layer == kTexSlimeFace) {
      EXPECT_FLOAT_EQ(v.x, 0.35f);
    }
  }
  EXPECT_TRUE(dropModel(kBlockAir).empty());
  EXPECT_EQ(dropModel(kBlockGrass).vertices[8].layer, kTexGrassTop);

  struct SlotRecorder : RecordingRenderer {
    void setModelMesh(int index, const ChunkMesh& mesh) override {
      slots.push_back(index);
      sizes.push_back(mesh.vertices.size());
    }
    void setParticleMesh(const ChunkMesh&) override { particleAfter = slots.size(); }
    std::vector<int> slots;
    std::vector<size_t> sizes;
    size_t particleAfter = 0;
  } recorder;
  registerEntityModels(recorder);
  ASSERT_EQ(recorder.slots.size(), 4 + blockCount() - 1);
  for (size_t i = 0; i < recorder.slots.size(); ++i)
    EXPECT_EQ(recorder.slots[i], static_cast<int>(i));
  EXPECT_EQ(recorder.sizes[3 + kBlockStone], 24u);
  EXPECT_EQ(recorder.particleAfter, recorder.slots.size());
}

TEST(Models, DrawListHoldsDropsMobsThenPlayers) {
  std::vector<Drop> drops(1);
  drops[0].position = {1, 2, 3};
  drops[0].item = kBlockSand;
  drops[0].spin = 0.7f;
  std::vector<Mob> mobs(2);
  mobs[0].type = MobSlime;
  mobs[0].animationTime = 0.3f;
  mobs[0].damageFlash = 0.1f;
  mobs[1].type = MobPig;
  mobs[1].position = {4, 5, 6};
  mobs[1].displayedYaw = 1.25f;
  const std::vector<AvatarPose> players{{{7, 9.62f, 8}, 0.5f}};
  const auto list = buildEntityDrawList(drops, mobs, players);
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0].model, 3u + kBlockSand);
  EXPECT_FLOAT_EQ(list[0].scale, 0.3f);
  EXPECT_FLOAT_EQ(list[0].yaw, 0.7f);
  EXPECT_FLOAT_EQ(list[0].y, 2.08f);
  EXPECT_EQ(list[1].model, 0u);
  EXPECT_FLOAT_EQ(list[1].flash, 1.0f);
  EXPECT_NEAR(list[1].y, 0.035f * std::sin(1.5f), 1e-6f);
  EXPECT_FLOAT_EQ(list[2].y, 5.0f) << "pigs do not bob";
  EXPECT_FLOAT_EQ(list[2].yaw, 1.25f);
  EXPECT_EQ(list[3].model, 3u);
  EXPECT_NEAR(list[3].y, 8.0f, 1e-5f);
}
