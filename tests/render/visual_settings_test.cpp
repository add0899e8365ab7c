#include "render/visual_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<uint8_t> spirvLike(size_t bytes, uint32_t magic = 0x07230203u) {
  std::vector<uint8_t> out(bytes, 0);
  for (int i = 0; i < 4 && i < static_cast<int>(bytes); ++i) out[i] = (magic >> (8 * i)) & 0xFF;
  return out;
}

class VisualPacks : public testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("orvane-visual-" + std::to_string(testing::UnitTest::GetInstance()->random_seed()) +
             "-" + testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }
  fs::path root_;
};

}  // namespace

TEST(VisualJson, KeysMatchOnlyWhenQuotedWhole) {
  VisualSettings s;
  applyVisualJson(R"({"bloom_threshold": 2.5, "auto_exposure": 0, "bloom": 0})", s);
  EXPECT_FLOAT_EQ(s.bloom, 0.0f);
  EXPECT_FLOAT_EQ(s.bloomThreshold, 2.5f);
  EXPECT_FLOAT_EQ(s.autoExposure, 0.0f);
  EXPECT_FLOAT_EQ(s.exposure, 1.0f);  // "exposure" is not inside "auto_exposure"

  VisualSettings t;
  applyVisualJson(R"({"fxaa": false, "ssao": "high", "exposure" : 1.5,
                      "nested": {"ambient":0.4}, "water": -3e-1, "saturation":})",
                  t);
  EXPECT_FLOAT_EQ(t.fxaa, 1.0f);
  EXPECT_FLOAT_EQ(t.ssao, 0.6f);
  EXPECT_FLOAT_EQ(t.exposure, 1.5f);
  EXPECT_FLOAT_EQ(t.ambient, 0.4f);
  EXPECT_FLOAT_EQ(t.water, -0.3f);
  EXPECT_FLOAT_EQ(t.saturation, 1.0f);

  // Only the first occurrence counts, even when its value is unusable; no colon at all
  // after the key leaves the value alone.
  float value = 7.0f;
  EXPECT_FALSE(findNumber(R"("fxaa": null, "fxaa": 0)", "fxaa", value));
  EXPECT_FALSE(findNumber(R"("fxaa")", "fxaa", value));
  EXPECT_FLOAT_EQ(value, 7.0f);
  EXPECT_TRUE(findNumber(R"({"fxaa":0})", "fxaa", value));
  EXPECT_FLOAT_EQ(value, 0.0f);
}

TEST_F(VisualPacks, LaterPacksOverrideKeyByKey) {
  EXPECT_FLOAT_EQ(loadVisualSettings((root_ / "missing").string()).ssao, 0.6f);
  writeFile(root_ / "a_pack/visual.json", R"({"ssao": 0.2, "fog_start": 30})");
  writeFile(root_ / "b_pack/visual.json", R"({"ssao": 0.9, "shadow_distance": 1000})");
  writeFile(root_ / "c_pack/visual.json", "");  // empty: ignored
  fs::create_directories(root_ / "d_pack");     // no file: ignored

  testing::internal::CaptureStdout();
  const VisualSettings s = loadVisualSettings(root_.string());
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(printed, "visual settings: a_pack\nvisual settings: b_pack\n");
  EXPECT_FLOAT_EQ(s.ssao, 0.9f);
  EXPECT_FLOAT_EQ(s.fogStart, 30.0f);
  EXPECT_FLOAT_EQ(s.shadowDistance, 1000.0f);  // stored as given; the renderer caps it
  EXPECT_FLOAT_EQ(s.bloom, 0.35f);
}

TEST_F(VisualPacks, ShaderOverridesAreCollectedAndChecked) {
  const auto spirv = spirvLike(24);
  writeFile(root_ / "a_pack/shaders/block_fs.spv", std::string(spirv.begin(), spirv.end()));
  writeFile(root_ / "a_pack/shaders/final_fs.spv", "early");
  writeFile(root_ / "b_pack/shaders/final_fs.spv", "later!!!");
  writeFile(root_ / "b_pack/shaders/shadow_vs.spv", "");  // empty: ignored
  writeFile(root_ / "b_pack/shaders/unknown.spv", "ignored");

  testing::internal::CaptureStdout();
  const ShaderOverrides overrides = loadShaderOverrides(root_.string());
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "shader override: block_fs from a_pack\nshader override: final_fs from a_pack\n"
            "shader override: final_fs from b_pack\n");
  ASSERT_EQ(overrides.size(), 2u);
  EXPECT_EQ(overrides.at("final_fs").size(), 8u);
  EXPECT_EQ(overrideWords("block_fs", overrides.at("block_fs")).size(), 6u);

  const auto rejected = [](const std::vector<uint8_t>& bytes) {
    testing::internal::CaptureStderr();
    const bool empty = overrideWords("final_fs", bytes).empty();
    return std::make_pair(empty, testing::internal::GetCapturedStderr());
  };
  // Too short even with the right magic number; a size that is not whole words; a
  // wrong magic number.
  EXPECT_EQ(rejected(spirvLike(16)),
            std::make_pair(true, std::string("shader override final_fs has invalid size\n")));
  EXPECT_EQ(rejected(spirvLike(22)),
            std::make_pair(true, std::string("shader override final_fs has invalid size\n")));
  EXPECT_EQ(rejected(spirvLike(20, 0x03022307u)),
            std::make_pair(true, std::string("shader override final_fs is not SPIR-V\n")));
  EXPECT_EQ(rejected(spirvLike(20)), std::make_pair(false, std::string()));
}
