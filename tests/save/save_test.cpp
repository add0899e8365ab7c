#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "save/save_files.h"

namespace fs = std::filesystem;

namespace {

// A saves folder of the test's own, removed afterwards.
class SaveFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orvane-saves-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    saves = pattern;
  }
  void TearDown() override { fs::remove_all(saves); }

  void writeBytes(const std::string& name, const char* file, const std::vector<uint8_t>& bytes) {
    fs::create_directories(saves + "/" + name);
    std::ofstream out(saves + "/" + name + "/" + file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }

  std::string saves;
};

SavedWorld sampleWorld() {
  SavedWorld w;
  w.seed = 424242;
  w.timeOfDay = 0.33f;
  w.weather = 1;
  w.mobs.push_back({10, 20, 30, 11, 20, 31, 1.5f, 2.5f, 1, 2});
  w.drops.push_back({5, 6, 7, 4, 3, 1.25f});
  w.edits.push_back({-200, 50, -200, 5, 255});
  return w;
}

SavedPlayer samplePlayer() {
  SavedPlayer p;
  p.x = 1.5f;
  p.y = 2.5f;
  p.z = 3.5f;
  p.yaw = 45;
  p.pitch = -12;
  p.flying = true;
  p.hitPoints = 7;
  p.gameMode = 1;
  p.hotbar = 3;
  p.slots.push_back({10, 17});
  return p;
}

void putU32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

TEST_F(SaveFiles, RoundTripAndFolderLifecycle) {
  ASSERT_TRUE(writeWorldSave("Test World", sampleWorld(), saves));
  ASSERT_TRUE(writePlayerSave("Test World", samplePlayer(), saves));
  EXPECT_TRUE(fs::is_regular_file(saves + "/Test World/world.dat"));
  EXPECT_TRUE(fs::is_regular_file(saves + "/Test World/player.dat"));
  EXPECT_FALSE(fs::exists(saves + "/Test World/world.dat.tmp"));
  EXPECT_TRUE(worldExists("Test World", saves));

  SavedWorld world;
  SavedPlayer player;
  ASSERT_TRUE(readWorldSave("Test World", world, saves));
  ASSERT_TRUE(readPlayerSave("Test World", player, saves));
  EXPECT_EQ(world, sampleWorld());
  EXPECT_EQ(player, samplePlayer());
  EXPECT_EQ(fs::file_size(saves + "/Test World/world.dat"), 12u + 9 + 4 + 37 + 4 + 20 + 4 + 15);

  EXPECT_TRUE(deleteWorld("Test World", saves));
  EXPECT_FALSE(worldExists("Test World", saves));
  EXPECT_FALSE(deleteWorld("Test World", saves));
}

TEST_F(SaveFiles, MobTypesAndEmptySlotsAreStoredAsTheGameHasThem) {
  SavedWorld w = sampleWorld();
  for (uint8_t type = 0; type < 3; ++type) w.mobs.push_back({0, 0, 0, 0, 0, 0, 0, 0, type, 5});
  ASSERT_TRUE(writeWorldSave("m", w, saves));
  SavedWorld back;
  ASSERT_TRUE(readWorldSave("m", back, saves));
  EXPECT_EQ(back.mobs, w.mobs);

  SavedPlayer p;
  p.slots = {{0, 9}, {3, 64}};
  ASSERT_TRUE(writePlayerSave("m", p, saves));
  SavedPlayer pb;
  ASSERT_TRUE(readPlayerSave("m", pb, saves));
  EXPECT_EQ(pb.slots[0], (SavedSlot{0, 0})) << "an empty slot is written with count 0";
  EXPECT_EQ(pb.slots[1], (SavedSlot{3, 64}));
}

TEST_F(SaveFiles, NamesAndFolderRules) {
  EXPECT_EQ(worldFolderName("  My:World\t1  "), "MyWorld 1");
  EXPECT_EQ(worldFolderName("???"), "World");
  EXPECT_EQ(worldFolderName("LPT1"), "World LPT1");
  EXPECT_EQ(worldFolderName("con"), "World con");
  EXPECT_EQ(worldFolderName("Caf\xc3\xa9 \xe4\xb8\x96"), "Caf");
  EXPECT_EQ(worldFolderName(std::string(60, 'a')), std::string(40, 'a'));

  for (std::string bad : {std::string(), std::string("."), std::string(".."), std::string("a/b"),
                          std::string(49, 'x'), std::string("tab\there"), std::string("a:b"),
                          std::string("what?"), std::string("..\\up")}) {
    EXPECT_FALSE(isValidWorldName(bad)) << bad;
    EXPECT_FALSE(writeWorldSave(bad, sampleWorld(), saves)) << bad;
    EXPECT_FALSE(writePlayerSave(bad, samplePlayer(), saves)) << bad;
    SavedWorld w;
    EXPECT_FALSE(readWorldSave(bad, w, saves)) << bad;
    EXPECT_FALSE(worldExists(bad, saves));
    EXPECT_FALSE(deleteWorld(bad, saves));
  }
  EXPECT_TRUE(isValidWorldName(std::string(48, 'x')));
  EXPECT_TRUE(fs::is_empty(saves)) << "invalid names never touch the disk";
}

TEST_F(SaveFiles, ListingKeepsOnlyWorldFolders) {
  EXPECT_TRUE(listWorlds(saves + "/missing").empty());
  ASSERT_TRUE(writeWorldSave("beta", sampleWorld(), saves));
  ASSERT_TRUE(writeWorldSave("Alpha", sampleWorld(), saves));
  fs::create_directories(saves + "/no world file");
  std::ofstream(saves + "/stray.txt") << "x";
  fs::create_directories(saves + "/bad:name");
  std::ofstream(saves + "/bad:name/world.dat") << "x";
  fs::create_directories(saves + "/dir world/world.dat");  // a folder, not a file
  EXPECT_EQ(listWorlds(saves), (std::vector<std::string>{"Alpha", "beta"}));
}

TEST_F(SaveFiles, RejectsForeignVersionsLimitsAndShortFiles) {
  const std::vector<uint8_t> world = encodeWorldSave(sampleWorld());
  const std::vector<uint8_t> player = encodePlayerSave(samplePlayer());
  SavedWorld w;
  SavedPlayer p;
  EXPECT_FALSE(decodeWorldSave(player.data(), player.size(), w)) << "player magic";
  EXPECT_FALSE(decodePlayerSave(world.data(), world.size(), p)) << "world magic";

  std::vector<uint8_t> v3 = world;
  v3[8] = 3;
  EXPECT_FALSE(decodeWorldSave(v3.data(), v3.size(), w));

  // Every truncation of a valid file fails.
  for (size_t n = 0; n < world.size(); ++n) EXPECT_FALSE(decodeWorldSave(world.data(), n, w)) << n;
  for (size_t n = 0; n < player.size(); ++n)
    EXPECT_FALSE(decodePlayerSave(player.data(), n, p)) << n;

  // Counts above the limits, and a short file claiming the maximum of edits.
  std::vector<uint8_t> many(world.begin(), world.begin() + 21);
  putU32(many, 100001);
  EXPECT_FALSE(decodeWorldSave(many.data(), many.size(), w));
  std::vector<uint8_t> bomb(world.begin(), world.begin() + 21);
  putU32(bomb, 0);
  putU32(bomb, 0);
  putU32(bomb, 50000000);
  bomb.resize(bomb.size() + 64);
  EXPECT_FALSE(decodeWorldSave(bomb.data(), bomb.size(), w));
  std::vector<uint8_t> slots(player.begin(), player.begin() + 12 + 27);
  putU32(slots, 4097);
  slots.resize(slots.size() + 4097 * 4);
  EXPECT_FALSE(decodePlayerSave(slots.data(), slots.size(), p));

  writeBytes("empty", "world.dat", {});
  EXPECT_FALSE(readWorldSave("empty", w, saves));
  EXPECT_FALSE(readWorldSave("nowhere", w, saves));
}

TEST_F(SaveFiles, ReadsVersionOneFiles) {
  std::vector<uint8_t> b = {'O', 'R', 'V', 'A', 'W', 'R', 'L', 'D'};
  putU32(b, 1);
  putU32(b, 77);                                      // seed
  putU32(b, 0x3F000000);                              // time 0.5
  b.push_back(2);                                     // weather
  putU32(b, 0);                                       // no mobs
  putU32(b, 1);                                       // one drop
  for (int i = 0; i < 3; ++i) putU32(b, 0x40000000);  // 2.0
  b.push_back(13);                                    // block as u8
  b.insert(b.end(), {5, 0});                          // count
  putU32(b, 0);                                       // age
  putU32(b, 1);                                       // one edit
  putU32(b, static_cast<uint32_t>(-7));
  putU32(b, 9);
  putU32(b, 300);
  b.push_back(8);
  b.push_back(3);
  writeBytes("old", "world.dat", b);
  SavedWorld w;
  ASSERT_TRUE(readWorldSave("old", w, saves));
  EXPECT_EQ(w.seed, 77u);
  EXPECT_FLOAT_EQ(w.timeOfDay, 0.5f);
  ASSERT_EQ(w.drops.size(), 1u);
  EXPECT_EQ(w.drops[0], (SavedDrop{2, 2, 2, 13, 5, 0}));
  ASSERT_EQ(w.edits.size(), 1u);
  EXPECT_EQ(w.edits[0], (SavedEdit{-7, 9, 300, 8, 3}));

  std::vector<uint8_t> pb = {'O', 'R', 'V', 'A', 'P', 'L', 'Y', 'R'};
  putU32(pb, 1);
  for (int i = 0; i < 5; ++i) putU32(pb, 0);
  pb.push_back(0);
  putU32(pb, 20);
  pb.push_back(1);
  pb.push_back(4);
  putU32(pb, 2);
  pb.insert(pb.end(), {11, 64, 0, 0, 0, 0});
  SavedPlayer p;
  ASSERT_TRUE(decodePlayerSave(pb.data(), pb.size(), p));
  EXPECT_EQ(p.hotbar, 4);
  EXPECT_EQ(p.slots, (std::vector<SavedSlot>{{11, 64}, {0, 0}}));
}

TEST_F(SaveFiles, FailedWritesKeepThePreviousFile) {
  ASSERT_TRUE(writeWorldSave("keep", sampleWorld(), saves));
  SavedWorld big = sampleWorld();
  big.edits.resize(100000);

  // A full disk: the file may not grow past 1 KiB.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = writeWorldSave("keep", big, saves);
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_FALSE(written);

  // The target replaced by a folder: the rename fails.
  ASSERT_TRUE(writePlayerSave("keep", samplePlayer(), saves));
  fs::remove(saves + "/keep/player.dat");
  fs::create_directories(saves + "/keep/player.dat/inside");
  EXPECT_FALSE(writePlayerSave("keep", samplePlayer(), saves));

  SavedWorld back;
  ASSERT_TRUE(readWorldSave("keep", back, saves));
  EXPECT_EQ(back, sampleWorld());
  EXPECT_FALSE(fs::exists(saves + "/keep/world.dat.tmp"));
  EXPECT_FALSE(fs::exists(saves + "/keep/player.dat.tmp"));

  // A saves path that is a file cannot hold world folders.
  std::ofstream(saves + "/plainfile") << "x";
  EXPECT_FALSE(writeWorldSave("w", sampleWorld(), saves + "/plainfile"));
}
