#include "render/png_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/render/png_test_support.h"

namespace {

uint16_t le16(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
  return le16(b, at) | uint32_t{le16(b, at + 2)} << 16;
}
std::string text(const std::vector<uint8_t>& b, size_t at, size_t count) {
  return std::string(b.begin() + at, b.begin() + at + count);
}

const CaptureInfo kInfo{"Orvane 0.1.1792372227", "Orvane 0.1.1792372227\nScreen: main menu"};
const std::string kTime = "2026:10:18 12:34:56";

}  // namespace

TEST(PngWriter, ChunksComeInOrderWithValidChecksumsAndRgbRows) {
  // 3 x 2 BGRA texels; alpha must vanish and B/R swap back.
  const std::vector<uint8_t> bgra = {1,   2, 3, 255, 10, 20,  30, 0, 0, 0, 255, 9,
                                     255, 0, 0, 1,   0,  255, 0,  2, 7, 7, 7,   7};
  ImageStats stats;
  const auto file = encodePng(3, 2, bgra.data(), true, kInfo, "2026-10-18T12:34:56", kTime, &stats);
  ASSERT_TRUE(file);
  const auto chunks = parsePng(*file);
  ASSERT_EQ(chunks.size(), 7u);
  const char* order[] = {"IHDR", "tEXt", "tEXt", "tEXt", "eXIf", "IDAT", "IEND"};
  for (size_t i = 0; i < 7; ++i) {
    EXPECT_EQ(chunks[i].type, order[i]);
    EXPECT_TRUE(chunks[i].crcOk) << order[i];
  }
  const auto& header = chunks[0].data;
  ASSERT_EQ(header.size(), 13u);
  EXPECT_EQ(readBe32(&header[0]), 3u);
  EXPECT_EQ(readBe32(&header[4]), 2u);
  EXPECT_EQ(std::vector<uint8_t>(header.begin() + 8, header.end()),
            (std::vector<uint8_t>{8, 2, 0, 0, 0}));
  EXPECT_EQ(text(chunks[1].data, 0, chunks[1].data.size()),
            std::string("Description\0", 12) + kInfo.description);
  EXPECT_EQ(text(chunks[2].data, 0, chunks[2].data.size()),
            std::string("Software\0", 9) + kInfo.software);
  EXPECT_EQ(text(chunks[3].data, 0, chunks[3].data.size()),
            std::string("Creation Time\0", 14) + "2026-10-18T12:34:56");
  EXPECT_TRUE(chunks[6].data.empty());

  const auto raw = inflateIdat(chunks[5].data, 2 * (3 * 3 + 1));
  EXPECT_EQ(raw, (std::vector<uint8_t>{0, 3, 2, 1,   30, 20,  10, 255, 0, 0,  //
                                       0, 0, 0, 255, 0,  255, 0,  7,   7, 7}));
  // Sampled where (x + y) % 17 == 0: only (0, 0) in so small an image.
  EXPECT_EQ(stats.colours, 1u);
  EXPECT_EQ(stats.minLuma, 2);  // (3, 2, 1)
  EXPECT_EQ(stats.maxLuma, (183 * 255) >> 8);
}

TEST(PngWriter, StatisticsOfFlatAndRgbaFrames) {
  std::vector<uint8_t> black(40 * 30 * 4, 0);
  ImageStats stats;
  ASSERT_TRUE(encodePng(40, 30, black.data(), false, kInfo, "t", kTime, &stats));
  EXPECT_EQ(stats.colours, 1u);
  EXPECT_EQ(stats.minLuma, 0);
  EXPECT_EQ(stats.maxLuma, 0);

  // RGBA input keeps its channel order; every sampled colour is distinct here.
  std::vector<uint8_t> ramp(34 * 1 * 4);
  for (int x = 0; x < 34; ++x) ramp[x * 4] = static_cast<uint8_t>(x * 7);
  const auto file = encodePng(34, 1, ramp.data(), false, kInfo, "t", kTime, &stats);
  ASSERT_TRUE(file);
  EXPECT_EQ(stats.colours, 2u);  // x = 0 and x = 17
  EXPECT_EQ(stats.maxLuma, (54 * 231) >> 8);
  const auto raw = inflateIdat(parsePng(*file)[5].data, 34 * 3 + 1);
  EXPECT_EQ(raw[1 + 33 * 3], 231);
}

TEST(PngWriter, ExifHasTheFixedTiffLayout) {
  const auto exif = buildExifAt(kInfo, kTime);
  const std::string& d = kInfo.description;
  const std::string& s = kInfo.software;
  const uint32_t dn = static_cast<uint32_t>(d.size()), sn = static_cast<uint32_t>(s.size());
  ASSERT_EQ(exif.size(), 104 + (dn + 1) + (sn + 1) + 20 + 8 + dn);
  EXPECT_EQ(text(exif, 0, 4), std::string("II*\0", 4));
  EXPECT_EQ(le32(exif, 4), 8u);
  EXPECT_EQ(le16(exif, 8), 5u);
  struct Entry {
    size_t at;
    uint16_t tag, type;
    uint32_t count, value;
  };
  const Entry entries[] = {
      {10, 0x010E, 2, dn + 1, 104},
      {22, 0x0131, 2, sn + 1, 105 + dn},
      {34, 0x0132, 2, 20, 106 + dn + sn},
      {46, 0x8769, 4, 1, 74},
      {58, 0x9286, 7, dn + 8, 107 + dn + sn + 19},
      {76, 0x9003, 2, 20, 106 + dn + sn},
      {88, 0x9004, 2, 20, 106 + dn + sn},
  };
  for (const Entry& e : entries) {
    EXPECT_EQ(le16(exif, e.at), e.tag);
    EXPECT_EQ(le16(exif, e.at + 2), e.type) << std::hex << e.tag;
    EXPECT_EQ(le32(exif, e.at + 4), e.count) << std::hex << e.tag;
    EXPECT_EQ(le32(exif, e.at + 8), e.value) << std::hex << e.tag;
  }
  EXPECT_EQ(le32(exif, 70), 0u);
  EXPECT_EQ(le16(exif, 74), 2u);
  EXPECT_EQ(le32(exif, 100), 0u);
  // The values sit where the entries point, each followed by a zero byte.
  EXPECT_EQ(text(exif, 104, dn + 1), d + '\0');
  EXPECT_EQ(text(exif, 105 + dn, sn + 1), s + '\0');
  EXPECT_EQ(text(exif, 106 + dn + sn, 20), kTime + '\0');
  EXPECT_EQ(text(exif, 107 + dn + sn + 19, dn + 8), std::string("ASCII\0\0\0", 8) + d);
}

TEST(PngWriter, EmptyTextsFallBack) {
  const auto exif = buildExifAt(CaptureInfo{"", ""}, kTime);
  // D falls back to the (empty) software, S to "Orvane".
  EXPECT_EQ(le32(exif, 14), 1u);
  EXPECT_EQ(le32(exif, 26), 7u);
  EXPECT_EQ(text(exif, 105, 7), std::string("Orvane\0", 7));

  const auto withSoftware = buildExifAt(CaptureInfo{"Orvane 1", ""}, kTime);
  EXPECT_EQ(text(withSoftware, 104, 9), std::string("Orvane 1\0", 9));
  const uint32_t commentAt = le32(withSoftware, 66);
  EXPECT_EQ(text(withSoftware, commentAt, 16), std::string("ASCII\0\0\0Orvane 1", 16));

  // The tEXt description stays empty.
  std::vector<uint8_t> pixel = {1, 2, 3, 4};
  const auto file =
      encodePng(1, 1, pixel.data(), true, CaptureInfo{"Orvane 1", ""}, "t", kTime, nullptr);
  ASSERT_TRUE(file);
  EXPECT_EQ(parsePng(*file)[1].data,
            (std::vector<uint8_t>{'D', 'e', 's', 'c', 'r', 'i', 'p', 't', 'i', 'o', 'n', 0}));
}

TEST(PngWriter, WritesTheFileAndReportsUnwritablePaths) {
  const auto folder = std::filesystem::temp_directory_path() / "orvane-png-test";
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "shot.png").string();
  std::vector<uint8_t> pixels(4 * 4 * 4, 200);
  testing::internal::CaptureStdout();
  ASSERT_TRUE(writePng(path, 4, 4, pixels.data(), true, kInfo));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "capture: " + path + " (4x4, colors=1, luma 200..200)\n");
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(parsePng(file).size(), 7u);

  testing::internal::CaptureStderr();
  EXPECT_FALSE(
      writePng((folder / "missing" / "shot.png").string(), 4, 4, pixels.data(), true, kInfo));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("capture: cannot open "),
            std::string::npos);
  if (std::filesystem::exists("/dev/full")) {
    // A full disk must not pass for a saved picture.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(writePng("/dev/full", 4, 4, pixels.data(), true, kInfo));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("capture: cannot write /dev/full"),
              std::string::npos);
  }
  std::filesystem::remove_all(folder);
}
