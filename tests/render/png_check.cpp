// orvane_png_check: the display tests' judge of a screenshot, and their maker of test
// images.
//   orvane_png_check check FILE   passes (status 0) when FILE has the chunks IHDR, tEXt x 3,
//                                 eXIf, IDAT, IEND with valid checksums, and shows a real
//                                 picture: at least 40 sampled colours and a luma range of
//                                 at least 60 (or RANGE: "check FILE RANGE", for a night).
//   orvane_png_check make FILE W H  writes a W x H PNG of a colour ramp.
//   orvane_png_check region FILE X Y W H  prints the distinct colours and the light
//                                 ("ink", luma of 150 and more) pixels of a rectangle:
//                                 how much lettering a label shows.
//   orvane_png_check mean FILE X Y W H  prints the mean luma (0-255) of a rectangle.
//   orvane_png_check differ A B PERCENT  passes when A and B have the same size and at
//                                 least PERCENT % of their pixels differ by more than 2
//                                 levels in some channel (the pass that tells them apart
//                                 really ran); "same" instead of "differ" passes when
//                                 under PERCENT % do.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>

#include "render/png_writer.h"
#include "tests/render/png_test_support.h"

namespace {

int fail(const char* message) {
  std::fprintf(stderr, "png_check: %s\n", message);
  return 1;
}

int check(const char* path, int minLumaRange = 60) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return fail("cannot open the file");
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
  const auto chunks = parsePng(file);
  const char* order[] = {"IHDR", "tEXt", "tEXt", "tEXt", "eXIf", "IDAT", "IEND"};
  if (chunks.size() != 7) return fail("wrong number of chunks");
  for (size_t i = 0; i < 7; ++i) {
    if (chunks[i].type != order[i]) return fail("chunks out of order");
    if (!chunks[i].crcOk) return fail("bad chunk checksum");
  }
  const uint32_t width = readBe32(&chunks[0].data[0]), height = readBe32(&chunks[0].data[4]);
  if (chunks[0].data[8] != 8 || chunks[0].data[9] != 2) return fail("not 8-bit RGB");
  const size_t rowBytes = size_t{width} * 3 + 1;
  const auto raw = inflateIdat(chunks[5].data, rowBytes * height);
  if (raw.size() != rowBytes * height) return fail("image data does not inflate to the size");
  std::set<uint32_t> colours;
  int minLuma = 255, maxLuma = 0;
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* row = &raw[y * rowBytes];
    if (row[0] != 0) return fail("a row uses a filter other than 0");
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t* p = row + 1 + x * 3;
      const int luma = (54 * p[0] + 183 * p[1] + 19 * p[2]) >> 8;
      minLuma = std::min(minLuma, luma);
      maxLuma = std::max(maxLuma, luma);
      if ((x + y) % 17 == 0) colours.insert(uint32_t{p[0]} << 16 | p[1] << 8 | p[2]);
    }
  }
  std::printf("png_check: %ux%u colors=%zu luma %d..%d\n", width, height, colours.size(), minLuma,
              maxLuma);
  if (colours.size() < 40) return fail("fewer than 40 colours: a flat frame");
  if (maxLuma - minLuma < minLumaRange) return fail("luma range too small: a flat frame");
  return 0;
}

// The raw RGB rows (filter bytes removed) of one of our PNG files, or empty.
std::vector<uint8_t> readRgb(const char* path, uint32_t& width, uint32_t& height) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
  const auto chunks = parsePng(file);
  if (chunks.size() != 7 || chunks[0].data.size() < 8) return {};
  width = readBe32(&chunks[0].data[0]);
  height = readBe32(&chunks[0].data[4]);
  const size_t rowBytes = size_t{width} * 3 + 1;
  const auto raw = inflateIdat(chunks[5].data, rowBytes * height);
  if (raw.size() != rowBytes * height) return {};
  std::vector<uint8_t> rgb;
  rgb.reserve(size_t{width} * height * 3);
  for (uint32_t y = 0; y < height; ++y) {
    rgb.insert(rgb.end(), raw.begin() + y * rowBytes + 1, raw.begin() + (y + 1) * rowBytes);
  }
  return rgb;
}

int compare(const char* a, const char* b, double percent, bool wantDifferent) {
  uint32_t aw = 0, ah = 0, bw = 0, bh = 0;
  const auto first = readRgb(a, aw, ah), second = readRgb(b, bw, bh);
  if (first.empty() || second.empty()) return fail("cannot read both pictures");
  if (aw != bw || ah != bh) return fail("the pictures differ in size");
  size_t changed = 0;
  int largest = 0;
  for (size_t i = 0; i < first.size(); i += 3) {
    int pixel = 0;
    for (size_t c = 0; c < 3; ++c) {
      pixel = std::max(pixel, std::abs(int{first[i + c]} - int{second[i + c]}));
    }
    largest = std::max(largest, pixel);
    if (pixel > 2) ++changed;
  }
  const double share = 100.0 * static_cast<double>(changed) / (static_cast<double>(aw) * ah);
  std::printf("png_check: %.2f%% of the pixels differ (largest difference %d levels)\n", share,
              largest);
  if (wantDifferent && share < percent) return fail("the pictures are too alike");
  if (!wantDifferent && share >= percent) return fail("the pictures differ");
  return 0;
}

int region(const char* path, int x0, int y0, int w, int h) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return fail("cannot open the file");
  const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), {});
  const auto chunks = parsePng(file);
  if (chunks.size() != 7 || chunks[0].type != "IHDR" || chunks[5].type != "IDAT") {
    return fail("not a screenshot");
  }
  const int width = static_cast<int>(readBe32(&chunks[0].data[0]));
  const int height = static_cast<int>(readBe32(&chunks[0].data[4]));
  const size_t rowBytes = size_t(width) * 3 + 1;
  const auto raw = inflateIdat(chunks[5].data, rowBytes * height);
  if (raw.size() != rowBytes * height) return fail("image data does not inflate to the size");
  std::set<uint32_t> colours;
  int ink = 0;
  for (int y = std::max(y0, 0); y < std::min(y0 + h, height); ++y) {
    for (int x = std::max(x0, 0); x < std::min(x0 + w, width); ++x) {
      const uint8_t* p = &raw[y * rowBytes + 1 + x * 3];
      colours.insert(uint32_t{p[0]} << 16 | p[1] << 8 | p[2]);
      if (((54 * p[0] + 183 * p[1] + 19 * p[2]) >> 8) >= 150) ink += 1;
    }
  }
  std::printf("png_check: region colors=%zu ink=%d\n", colours.size(), ink);
  return 0;
}

int mean(const char* path, int x0, int y0, int w, int h) {
  uint32_t width = 0, height = 0;
  const auto rgb = readRgb(path, width, height);
  if (rgb.empty()) return fail("cannot read the picture");
  double sum = 0;
  long count = 0;
  for (int y = std::max(y0, 0); y < std::min(y0 + h, static_cast<int>(height)); ++y) {
    for (int x = std::max(x0, 0); x < std::min(x0 + w, static_cast<int>(width)); ++x) {
      const uint8_t* p = &rgb[(size_t(y) * width + x) * 3];
      sum += 0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2];
      ++count;
    }
  }
  if (count == 0) return fail("the rectangle is outside the picture");
  std::printf("png_check: mean luma %.3f\n", sum / static_cast<double>(count));
  return 0;
}

int make(const char* path, uint32_t width, uint32_t height) {
  std::vector<uint8_t> rgba(size_t{width} * height * 4);
  for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<uint8_t>(i * 7);
  const auto file = encodePng(width, height, rgba.data(), false, CaptureInfo{"t", "t"}, "t",
                              "2026:01:01 00:00:00", nullptr);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(file->data()),
            static_cast<std::streamsize>(file->size()));
  return out ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 2 ? argv[1] : "";
  if (command == "check" && argc == 3) return check(argv[2]);
  if (command == "check" && argc == 4) return check(argv[2], std::atoi(argv[3]));
  if (command == "mean" && argc == 7) {
    return mean(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]),
                std::atoi(argv[6]));
  }
  if (command == "make" && argc == 5) {
    return make(argv[2], static_cast<uint32_t>(std::atoi(argv[3])),
                static_cast<uint32_t>(std::atoi(argv[4])));
  }
  if (command == "region" && argc == 7) {
    return region(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]),
                  std::atoi(argv[6]));
  }
  if ((command == "differ" || command == "same") && argc == 5) {
    return compare(argv[2], argv[3], std::atof(argv[4]), command == "differ");
  }
  std::fprintf(stderr,
               "usage: orvane_png_check check FILE [RANGE] | make FILE WIDTH HEIGHT | region|mean "
               "FILE X Y W H "
               "| differ|same A B PERCENT\n");
  return 2;
}
