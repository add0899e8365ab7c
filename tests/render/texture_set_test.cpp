#include "render/texture_set.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zip.h>

#include <filesystem>
#include <fstream>

#include "render/png_writer.h"
#include "render/resource_pack.h"
#include "world/block_registry.h"

namespace fs = std::filesystem;

namespace {

// A PNG of one flat colour (our own writer makes RGB files stb_image reads back).
std::vector<uint8_t> flatPng(uint32_t width, uint32_t height, uint8_t r, uint8_t g, uint8_t b) {
  std::vector<uint8_t> rgba;
  for (uint32_t i = 0; i < width * height; ++i) rgba.insert(rgba.end(), {r, g, b, 255});
  return *encodePng(width, height, rgba.data(), false, CaptureInfo{"t", "t"}, "t",
                    "2026:01:01 00:00:00", nullptr);
}

void writeFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

void writeZip(const fs::path& path,
              const std::vector<std::pair<std::string, std::vector<uint8_t>>>& entries) {
  int error = 0;
  zip_t* archive = zip_open(path.string().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  for (const auto& [name, bytes] : entries) {
    zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
    ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE), 0);
  }
  ASSERT_EQ(zip_close(archive), 0);
}

class PackFolder : public testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("orvane-packs-" + std::to_string(testing::UnitTest::GetInstance()->random_seed()) +
             "-" + testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }
  fs::path root_;
};

std::array<uint8_t, 4> texelAt(const std::vector<uint8_t>& levels, uint32_t tile, int layer, int x,
                               int y) {
  const size_t at = (size_t{static_cast<size_t>(layer)} * tile * tile + size_t(y) * tile + x) * 4;
  return {levels[at], levels[at + 1], levels[at + 2], levels[at + 3]};
}

}  // namespace

TEST(TextureSet, DecodeKeepsTheFirstFrameOfStripsAndRefusesBadData) {
  const auto strip = decodeImage(flatPng(16, 64, 1, 2, 3));
  ASSERT_TRUE(strip);
  EXPECT_EQ(strip->width, 16u);
  EXPECT_EQ(strip->height, 16u);
  EXPECT_EQ(strip->rgba.size(), 16u * 16 * 4);
  const auto uneven = decodeImage(flatPng(16, 40, 1, 2, 3));
  ASSERT_TRUE(uneven);
  EXPECT_EQ(uneven->height, 40u);

  EXPECT_FALSE(decodeImage({}));
  EXPECT_FALSE(decodeImage({'n', 'o', 't', ' ', 'p', 'n', 'g'}));
  auto truncated = flatPng(16, 16, 9, 9, 9);
  truncated.resize(truncated.size() / 2);
  EXPECT_FALSE(decodeImage(truncated));
  // 100000 x 1: no block texture is that wide; refused before anything is decoded.
  EXPECT_FALSE(decodeImage(flatPng(100000, 1, 5, 5, 5)));
}

TEST(TextureSet, TileSizesAndMipLevels) {
  EXPECT_EQ(tileSizeFor(1), 16u);
  EXPECT_EQ(tileSizeFor(16), 16u);
  EXPECT_EQ(tileSizeFor(17), 32u);
  EXPECT_EQ(tileSizeFor(300), 256u);
  EXPECT_EQ(tileSizeFor(5000), 256u);
  EXPECT_EQ(mipLevelCount(16), 5u);
  EXPECT_EQ(mipLevelCount(256), 9u);
}

TEST(TextureSet, CandidatesTryForeignNamesFirstOnlyForOutsideLayouts) {
  const auto native = textureCandidates("grass_top", false);
  EXPECT_EQ(native, (std::vector<std::string>{"textures/grass_top.png", "textures/grass_top.jpg",
                                              "textures/block/grass_top.png", "grass_top.png"}));
  const auto outside = textureCandidates("grass_top", true);
  ASSERT_EQ(outside.size(), 6u);
  EXPECT_EQ(outside[0], "assets/minecraft/textures/block/grass_block_top.png");
  EXPECT_EQ(outside[1], "assets/minecraft/textures/block/grass_top.png");
  EXPECT_EQ(outside[2], "textures/grass_top.png");
  EXPECT_EQ(textureCandidates("pig_face", true).size(), 4u);  // no foreign name
}

TEST_F(PackFolder, ListsFoldersAndPackFilesSortedWithTheirDisplayNames) {
  fs::create_directories(root_ / "b_folder");
  for (const char* name : {"c.ZIP", "a.Rp.Orvac", ".zip", "notes.txt", "d.rp.orvac.bak"}) {
    writeFile(root_ / name, {1});
  }
  const auto packs = listPacks(root_.string());
  ASSERT_EQ(packs.size(), 3u);
  EXPECT_EQ(fs::path(packs[0]).filename(), "a.Rp.Orvac");
  EXPECT_EQ(fs::path(packs[1]).filename(), "b_folder");
  EXPECT_EQ(fs::path(packs[2]).filename(), "c.ZIP");
  EXPECT_EQ(packDisplayName(packs[0]), "a");
  EXPECT_EQ(packDisplayName(packs[1]), "b_folder");
  EXPECT_EQ(packDisplayName(packs[2]), "c");
  EXPECT_TRUE(listPacks((root_ / "missing").string()).empty());
}

TEST_F(PackFolder, ZipEntriesAreFoundWithoutRegardToCase) {
  const auto png = flatPng(16, 16, 200, 10, 10);
  writeZip(root_ / "pack.zip", {{"Textures/Stone.PNG", png}});
  ZipSource zip((root_ / "pack.zip").string());
  ASSERT_TRUE(zip.opened());
  EXPECT_TRUE(zip.exists("textures/stone.png"));
  EXPECT_EQ(zip.read("textures/stone.png"), png);
  EXPECT_FALSE(zip.exists("textures/dirt.png"));
  EXPECT_TRUE(zip.read("textures/dirt.png").empty());

  // Not a zip at all, or an empty file: an empty pack, never a crash.
  writeFile(root_ / "bad.zip", {'P', 'K', 3, 4, 'x', 'y'});
  writeFile(root_ / "empty.zip", {});
  for (const char* name : {"bad.zip", "empty.zip"}) {
    const auto pack = openPack((root_ / name).string());
    EXPECT_FALSE(pack->exists("textures/stone.png")) << name;
    EXPECT_TRUE(pack->read("textures/stone.png").empty()) << name;
  }
}

TEST_F(PackFolder, LaterPacksWinAndBadImagesAreSkippedWithAMessage) {
  BlockRegistry registry;
  const int stone = registry.findTexture("stone"), dirt = registry.findTexture("dirt");
  const int sand = registry.findTexture("sand");
  writeFile(root_ / "a_pack" / "textures" / "stone.png", flatPng(16, 16, 10, 0, 0));
  writeFile(root_ / "a_pack" / "textures" / "dirt.png", flatPng(16, 16, 20, 0, 0));
  writeZip(root_ / "b_pack.zip", {{"textures/stone.png", flatPng(16, 16, 30, 0, 0)},
                                  // corrupt first candidate, good later one
                                  {"textures/sand.png", {'b', 'a', 'd'}},
                                  {"sand.png", flatPng(16, 16, 40, 0, 0)}});
  writeFile(root_ / "c_broken.zip", {'n', 'o', 't', 'z', 'i', 'p'});
  writeFile(root_ / "d_empty.rp.orvac", {});

  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const TextureSet set = loadTextureSet(root_.string(), registry);
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(out,
            "resourcepack: a_pack -> 2 layers\nresourcepack: b_pack -> 2 layers\n"
            "resourcepack: c_broken -> 0 layers\nresourcepack: d_empty -> 0 layers\n");
  EXPECT_EQ(err, "resourcepack: failed to decode textures/sand.png\n");
  EXPECT_EQ(set.tileSize, 16u);
  ASSERT_EQ(set.images.size(), 3u);
  EXPECT_EQ(set.images.at(stone).rgba[0], 30);  // the later pack wins
  EXPECT_EQ(set.images.at(dirt).rgba[0], 20);
  EXPECT_EQ(set.images.at(sand).rgba[0], 40);
}

TEST_F(PackFolder, OutsideLayoutPacksUseForeignNamesThenNativeOnes) {
  BlockRegistry registry;
  writeFile(root_ / "pack" / "pack.mcmeta", {'{', '}'});
  writeFile(root_ / "pack" / "assets/minecraft/textures/block/oak_log.png",
            flatPng(32, 32, 1, 1, 1));
  writeFile(root_ / "pack" / "textures/dirt.png", flatPng(16, 16, 2, 2, 2));
  testing::internal::CaptureStdout();
  const TextureSet set = loadTextureSet(root_.string(), registry);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "resourcepack: pack -> 2 layers\n");
  EXPECT_TRUE(set.images.contains(registry.findTexture("wood_side")));
  EXPECT_TRUE(set.images.contains(registry.findTexture("dirt")));
  EXPECT_EQ(set.tileSize, 32u);
}

TEST_F(PackFolder, ModFilesAreUsedUnlessAPackReplacesThem) {
  BlockRegistry registry;
  const int ruby = registry.addTexture("ruby");
  const int opal = registry.addTexture("opal");
  writeFile(root_ / "mod" / "ruby.png", flatPng(16, 16, 150, 0, 0));
  writeFile(root_ / "mod" / "opal.png", {'x'});  // unreadable image: stays procedural
  registry.setTextureSource(ruby, (root_ / "mod" / "ruby.png").string());
  registry.setTextureSource(opal, (root_ / "mod" / "opal.png").string());
  const TextureSet set = loadTextureSet((root_ / "no-packs").string(), registry);
  EXPECT_EQ(set.images.at(ruby).rgba[0], 150);
  EXPECT_FALSE(set.images.contains(opal));
}

TEST_F(PackFolder, ModTextureFilesMustBeRegularFilesWithinTheLimit) {
  BlockRegistry registry;
  const int device = registry.addTexture("device");
  const int fifo = registry.addTexture("fifo");
  const int huge = registry.addTexture("huge");
  const int linked = registry.addTexture("linked");
  registry.setTextureSource(device, "/dev/zero");
  ASSERT_EQ(mkfifo((root_ / "pipe.png").c_str(), 0600), 0);
  registry.setTextureSource(fifo, (root_ / "pipe.png").string());
  {
    std::ofstream out(root_ / "huge.png", std::ios::binary);
    out.seekp(static_cast<std::streamoff>(kMaxPackEntryBytes));
    out.put('x');  // a sparse file just over the limit
  }
  registry.setTextureSource(huge, (root_ / "huge.png").string());
  writeFile(root_ / "real.png", flatPng(16, 16, 0, 90, 0));
  fs::create_symlink(root_ / "real.png", root_ / "link.png");
  registry.setTextureSource(linked, (root_ / "link.png").string());
  const TextureSet set = loadTextureSet((root_ / "no-packs").string(), registry);
  EXPECT_FALSE(set.images.contains(device));
  EXPECT_FALSE(set.images.contains(fifo));
  EXPECT_FALSE(set.images.contains(huge));
  EXPECT_EQ(set.images.at(linked).rgba[1], 90);  // absolute paths and links stay allowed
}

TEST(TextureSet, LevelsResampleByNearestNeighbourAndAverageMips) {
  TextureSet set;
  set.tileSize = 32;
  // A 4 x 2 image with distinct columns: each texel covers 8 x 16 tile texels.
  DecodedImage image{4, 2, {}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x)
      image.rgba.insert(image.rgba.end(), {uint8_t(x * 50), uint8_t(y * 100), 7, 255});
  }
  set.images[1] = image;
  const auto levels = buildTextureLevels(set, 2);
  size_t expected = 0;
  for (uint32_t size = 32; size >= 1; size /= 2) expected += size_t{size} * size * 4 * 2;
  ASSERT_EQ(levels.size(), expected);

  EXPECT_EQ(texelAt(levels, 32, 1, 0, 0), (std::array<uint8_t, 4>{0, 0, 7, 255}));
  EXPECT_EQ(texelAt(levels, 32, 1, 7, 15), (std::array<uint8_t, 4>{0, 0, 7, 255}));
  EXPECT_EQ(texelAt(levels, 32, 1, 8, 16), (std::array<uint8_t, 4>{50, 100, 7, 255}));
  EXPECT_EQ(texelAt(levels, 32, 1, 31, 31), (std::array<uint8_t, 4>{150, 100, 7, 255}));
  // Layer 0 has no image: its procedural design, scaled up 2 x.
  EXPECT_EQ(texelAt(levels, 32, 0, 5, 9), builtinTexel(0, 2, 4));

  // Level 1 of layer 1 starts after level 0 of both layers; 2 x 2 integer averages.
  const size_t level1 = size_t{32} * 32 * 4 * 2 + size_t{16} * 16 * 4;
  EXPECT_EQ(levels[level1], 0);
  const std::vector<uint8_t> level0(levels.begin(), levels.begin() + 32 * 32 * 4);
  const int sum = level0[0] + level0[4] + level0[32 * 4] + level0[33 * 4];
  EXPECT_EQ(levels[32 * 32 * 4 * 2], sum >> 2);  // layer 0, level 1, texel (0, 0), red
  // The last level is one texel per layer.
  EXPECT_EQ(levels[levels.size() - 4 + 2], 7);
}

TEST(TextureSet, ProceduralDesignsAreDistinctAndKeepTheirRules) {
  // Stone: grey with its darker rim.
  const auto centre = builtinTexel(kTexStone, 8, 8), corner = builtinTexel(kTexStone, 0, 0);
  EXPECT_NEAR(centre[0], centre[1], 12);
  EXPECT_GE(centre[0], 80);
  EXPECT_LT(builtinTexel(kTexStone, 0, 7)[0], builtinTexel(kTexStone, 2, 7)[0] + 1);
  EXPECT_EQ(corner[3], 255);
  // Grass top is green, its side keeps a green fringe above the dirt.
  const auto grass = builtinTexel(kTexGrassTop, 7, 7);
  EXPECT_GT(grass[1], grass[0] + 40);
  const auto fringe = builtinTexel(kTexGrassSide, 7, 1), soil = builtinTexel(kTexGrassSide, 7, 10);
  EXPECT_GT(fringe[1], fringe[0]);
  EXPECT_GT(soil[0], soil[2]);
  // Water is the only see-through block design.
  EXPECT_EQ(builtinTexel(kTexWater, 3, 3)[3], 190);
  for (int layer = 0; layer < kBuiltinTextureCount; ++layer) {
    if (layer == kTexWater || layer == kTexHeartFull || layer == kTexHeartEmpty) continue;
    EXPECT_EQ(builtinTexel(layer, 5, 5)[3], 255) << layer;
  }
  EXPECT_EQ(builtinTexel(kTexHeartFull, 0, 15)[3], 0);  // outside the heart
  EXPECT_EQ(builtinTexel(999, 4, 4), (std::array<uint8_t, 4>{58, 58, 64, 255}));
  // Every built-in texture is its own design.
  for (int a = 0; a < kBuiltinTextureCount; ++a) {
    for (int b = a + 1; b < kBuiltinTextureCount; ++b) {
      bool differ = false;
      for (int i = 0; i < 256 && !differ; ++i)
        differ = builtinTexel(a, i % 16, i / 16) != builtinTexel(b, i % 16, i / 16);
      EXPECT_TRUE(differ) << a << " and " << b;
    }
  }
}
