#include "render/range_allocator.h"

#include <gtest/gtest.h>

TEST(RangeAllocator, AlignsAndPadsFromTheFront) {
  RangeAllocator ranges(1024);
  EXPECT_EQ(ranges.allocate(10, 1), 0u);
  const auto aligned = ranges.allocate(100, 256);
  ASSERT_TRUE(aligned);
  EXPECT_EQ(*aligned, 256u);
  // The padding in front of the aligned range stays usable.
  EXPECT_EQ(ranges.allocate(200, 1), 10u);
  EXPECT_EQ(ranges.usedBytes(), 310u);
  EXPECT_EQ(ranges.allocationCount(), 3u);
}

TEST(RangeAllocator, ReleasedNeighboursMergeBackIntoOneRange) {
  RangeAllocator ranges(300);
  const uint64_t a = *ranges.allocate(100, 1), b = *ranges.allocate(100, 1),
                 c = *ranges.allocate(100, 1);
  EXPECT_FALSE(ranges.allocate(1, 1));  // full
  EXPECT_TRUE(ranges.release(a));
  EXPECT_TRUE(ranges.release(c));
  EXPECT_EQ(ranges.freeRangeCount(), 2u);
  EXPECT_FALSE(ranges.allocate(150, 1));  // fragmented: no 150-byte hole
  EXPECT_TRUE(ranges.release(b));
  EXPECT_EQ(ranges.freeRangeCount(), 1u);
  EXPECT_EQ(ranges.largestFreeRange(), 300u);
  EXPECT_TRUE(ranges.empty());
  EXPECT_EQ(ranges.allocate(300, 1), 0u);
}

TEST(RangeAllocator, RejectsUnknownAndDoubleReleases) {
  RangeAllocator ranges(64);
  const uint64_t a = *ranges.allocate(16, 16);
  EXPECT_FALSE(ranges.release(a + 1));
  EXPECT_TRUE(ranges.release(a));
  EXPECT_FALSE(ranges.release(a));
  EXPECT_EQ(ranges.usedBytes(), 0u);
  EXPECT_EQ(ranges.largestFreeRange(), 64u);
}

TEST(RangeAllocator, ManySmallMeshesShareOneBlockAndChurnWithoutLeaking) {
  // The pattern of chunk meshes: thousands of small buffers, replaced over and over.
  RangeAllocator ranges(64u << 20);
  std::vector<uint64_t> live;
  for (int i = 0; i < 4000; ++i) live.push_back(*ranges.allocate(3000 + (i % 7) * 1000, 4));
  for (int round = 0; round < 3; ++round) {
    for (size_t i = round; i < live.size(); i += 3) {
      ASSERT_TRUE(ranges.release(live[i]));
      const auto again = ranges.allocate(2000 + (i % 5) * 1500, 4);
      ASSERT_TRUE(again);
      live[i] = *again;
    }
  }
  for (uint64_t offset : live) ASSERT_TRUE(ranges.release(offset));
  EXPECT_TRUE(ranges.empty());
  EXPECT_EQ(ranges.freeRangeCount(), 1u);
}
