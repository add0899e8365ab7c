// The example resource pack of examples/packs loads with the real texture loader
// without a message, and its visual.json names only keys the game knows.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>

#include "render/texture_set.h"
#include "world/block_registry.h"

namespace fs = std::filesystem;

namespace {

const fs::path kPacks = fs::path(ORVANE_SOURCE_DIR) / "examples" / "packs";

}  // namespace

TEST(ExamplePack, ReplacesItsTexturesWithoutAMessage) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const TextureSet set = loadTextureSet(kPacks.string());
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  size_t files = 0;
  for (const auto& item : fs::directory_iterator(kPacks / "autumn" / "textures")) {
    const std::string name = item.path().stem().string();
    SCOPED_TRACE(name);
    ++files;
    const int layer = blocks().findTexture(name);
    ASSERT_GE(layer, 0) << "not a texture name of the game";
    ASSERT_TRUE(set.images.contains(layer));
    EXPECT_EQ(set.images.at(layer).width, 16u);
    EXPECT_EQ(set.images.at(layer).height, 16u);  // strips keep their first frame
  }
  EXPECT_GE(files, 3u);
  EXPECT_EQ(out, "resourcepack: autumn -> " + std::to_string(files) + " layers\n");
  EXPECT_EQ(set.tileSize, 16u);
}

TEST(ExamplePack, VisualSettingsNameKnownKeysWithNumbers) {
  std::ifstream in(kPacks / "autumn" / "visual.json");
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::set<std::string> known = {
      "fog_start",       "exposure",        "saturation", "ambient",         "water",
      "shadow_strength", "shadow_distance", "bloom",      "bloom_threshold", "ssao",
      "auto_exposure",   "exposure_bias",   "fxaa"};
  const std::regex pair("\"([^\"]*)\"\\s*:\\s*([^,}\\s]*)");
  int pairs = 0;
  for (std::sregex_iterator it(text.begin(), text.end(), pair), end; it != end; ++it, ++pairs) {
    const std::string key = (*it)[1], value = (*it)[2];
    EXPECT_TRUE(known.contains(key)) << key;
    char* stop = nullptr;
    std::strtof(value.c_str(), &stop);
    EXPECT_TRUE(!value.empty() && *stop == '\0') << key << ": " << value;
  }
  EXPECT_GE(pairs, 3);
}
