#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>

#include "world/coords.h"
#include "world/flat_hash.h"

// Random inserts and erases against std::map: catches probe-chain breakage from the
// backward-shift erase and lost entries on growth.
TEST(FlatHash, MatchesAReferenceMapUnderRandomOperations) {
  FlatHashMap<uint64_t, int> map;
  std::map<uint64_t, int> ref;
  std::mt19937_64 rng(7);
  for (int step = 0; step < 200000; ++step) {
    // A small key range makes collisions, re-inserts and long probe runs common.
    const uint64_t key = blockKey(int(rng() % 64) - 32, int(rng() % 64), int(rng() % 8));
    switch (rng() % 3) {
      case 0:
      case 1:
        map[key] = step;
        ref[key] = step;
        break;
      case 2:
        EXPECT_EQ(map.erase(key), ref.erase(key));
        break;
    }
    if (step % 5000 == 0) {
      ASSERT_EQ(map.size(), ref.size());
      for (const auto& [k, v] : ref) {
        const int* found = map.lookup(k);
        ASSERT_NE(found, nullptr);
        ASSERT_EQ(*found, v);
      }
    }
  }
  size_t visited = 0;
  for (const auto& entry : map) {
    ++visited;
    ASSERT_EQ(ref.at(entry.first), entry.second);
  }
  EXPECT_EQ(visited, ref.size());
}

TEST(FlatHash, EraseIfAndOwningValues) {
  FlatHashMap<ChunkKey, std::unique_ptr<int>> map;
  for (int x = -10; x <= 10; ++x) map.try_emplace({x, 0, -x}, std::make_unique<int>(x));
  EXPECT_EQ(map.size(), 21u);
  EXPECT_EQ(map.eraseIf([](const auto& e) { return e.first.cx < 0; }), 10u);
  EXPECT_EQ(map.size(), 11u);
  EXPECT_FALSE(map.contains({-1, 0, 1}));
  ASSERT_TRUE(map.contains({3, 0, -3}));
  EXPECT_EQ(**map.lookup({3, 0, -3}), 3);
  EXPECT_FALSE(map.try_emplace({3, 0, -3}, std::make_unique<int>(99)).second);
  EXPECT_EQ(**map.lookup({3, 0, -3}), 3);
}

TEST(FlatHash, SetInsertEraseAndClear) {
  FlatHashSet<uint64_t> set;
  EXPECT_TRUE(set.insert(5));
  EXPECT_FALSE(set.insert(5));
  EXPECT_TRUE(set.contains(5));
  EXPECT_EQ(set.erase(5), 1u);
  EXPECT_EQ(set.erase(5), 0u);
  for (uint64_t k = 0; k < 1000; ++k) set.insert(k << 40);  // keys differing only high up
  EXPECT_EQ(set.size(), 1000u);
  uint64_t sum = 0;
  for (uint64_t k : set) sum += k >> 40;
  EXPECT_EQ(sum, 999u * 1000u / 2);
  set.clear();
  EXPECT_TRUE(set.empty());
  EXPECT_FALSE(set.contains(0));
  EXPECT_TRUE(set.insert(0));
}
