// PNG layout written here, in order: the 8-byte signature; IHDR (width, height, depth 8,
// colour type 2, no interlace); tEXt "Description", "Software", "Creation Time"; eXIf;
// one IDAT holding the whole zlib stream of filter-0 rows; IEND. Each chunk is length
// (u32 BE), type, data, CRC-32 over type and data (u32 BE).
//
// EXIF block (little-endian TIFF, offsets from its start), D = description (software when
// empty), S = software ("Orvane" when empty), T = "%Y:%m:%d %H:%M:%S":
//   0 "II*\0", 4 IFD0 offset 8, 8 IFD0 with 5 entries: 0x010E D, 0x0131 S, 0x0132 T,
//   0x8769 EXIF IFD at 74, 0x9286 user comment ("ASCII\0\0\0" + D); 70 next IFD 0;
//   74 EXIF IFD with 2 entries: 0x9003 and 0x9004 both T; 100 next IFD 0;
//   104 D\0, S\0, T\0, user comment.

#include "render/png_writer.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unordered_set>

namespace {

void putBe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}
void putLe16(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void putBytes(std::vector<uint8_t>& out, const char* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) out.push_back(static_cast<uint8_t>(bytes[i]));
}
void putLe32(std::vector<uint8_t>& out, uint32_t v) {
  putLe16(out, static_cast<uint16_t>(v));
  putLe16(out, static_cast<uint16_t>(v >> 16));
}

void putChunk(std::vector<uint8_t>& out, const char type[4], const uint8_t* data, size_t size) {
  putBe32(out, static_cast<uint32_t>(size));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  if (size > 0) out.insert(out.end(), data, data + size);
  const uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(size + 4));
  putBe32(out, static_cast<uint32_t>(crc));
}

void putText(std::vector<uint8_t>& out, const std::string& key, const std::string& text) {
  std::vector<uint8_t> data(key.begin(), key.end());
  data.push_back(0);
  data.insert(data.end(), text.begin(), text.end());
  putChunk(out, "tEXt", data.data(), data.size());
}

void putEntry(std::vector<uint8_t>& out, uint16_t tag, uint16_t type, uint32_t count,
              uint32_t value) {
  putLe16(out, tag);
  putLe16(out, type);
  putLe32(out, count);
  putLe32(out, value);
}

}  // namespace

std::string localTimeText(const char* format) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[64];
  const size_t length = std::strftime(text, sizeof text, format, &local);
  return std::string(text, length);
}

std::vector<uint8_t> buildExifAt(const CaptureInfo& info, const std::string& time) {
  const std::string& d = info.description.empty() ? info.software : info.description;
  const std::string s = info.software.empty() ? std::string("Orvane") : info.software;
  const auto dn = static_cast<uint32_t>(d.size()), sn = static_cast<uint32_t>(s.size());
  const auto tn = static_cast<uint32_t>(time.size());
  std::vector<uint8_t> out;
  putBytes(out, "II\x2A\0", 4);
  putLe32(out, 8);
  putLe16(out, 5);
  putEntry(out, 0x010E, 2, dn + 1, 104);
  putEntry(out, 0x0131, 2, sn + 1, 105 + dn);
  putEntry(out, 0x0132, 2, tn + 1, 106 + dn + sn);
  putEntry(out, 0x8769, 4, 1, 74);
  putEntry(out, 0x9286, 7, dn + 8, 107 + dn + sn + tn);
  putLe32(out, 0);
  putLe16(out, 2);
  putEntry(out, 0x9003, 2, tn + 1, 106 + dn + sn);
  putEntry(out, 0x9004, 2, tn + 1, 106 + dn + sn);
  putLe32(out, 0);
  for (const std::string* text : {&d, &s, &time}) {
    out.insert(out.end(), text->begin(), text->end());
    out.push_back(0);
  }
  putBytes(out, "ASCII\0\0\0", 8);
  out.insert(out.end(), d.begin(), d.end());
  return out;
}

std::vector<uint8_t> buildExif(const CaptureInfo& info) {
  return buildExifAt(info, localTimeText("%Y:%m:%d %H:%M:%S"));
}

std::optional<std::vector<uint8_t>> encodePng(uint32_t width, uint32_t height,
                                              const uint8_t* pixels, bool bgra,
                                              const CaptureInfo& info,
                                              const std::string& creationTime,
                                              const std::string& exifTime, ImageStats* stats) {
  // Raw rows: filter byte 0, then RGB triples; statistics on the way.
  const size_t rowBytes = size_t{width} * 3 + 1;
  std::vector<uint8_t> raw(rowBytes * height);
  std::unordered_set<uint32_t> colours;
  int minLuma = 255, maxLuma = 0;
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* row = raw.data() + y * rowBytes;
    row[0] = 0;
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t* texel = pixels + (size_t{y} * width + x) * 4;
      const uint8_t r = bgra ? texel[2] : texel[0], g = texel[1], b = bgra ? texel[0] : texel[2];
      row[1 + x * 3] = r, row[2 + x * 3] = g, row[3 + x * 3] = b;
      const int luma = (54 * r + 183 * g + 19 * b) >> 8;
      minLuma = std::min(minLuma, luma);
      maxLuma = std::max(maxLuma, luma);
      if ((x + y) % 17 == 0) colours.insert(uint32_t{r} << 16 | uint32_t{g} << 8 | b);
    }
  }
  if (stats != nullptr) *stats = {colours.size(), minLuma, maxLuma};

  const size_t n = raw.size();
  uLongf compressedSize = std::max(n * 110 / 100 + 128, n + (n / 31744) * 5 + 133);
  std::vector<uint8_t> compressed(compressedSize);
  if (compress2(compressed.data(), &compressedSize, raw.data(), n, Z_DEFAULT_COMPRESSION) != Z_OK) {
    return std::nullopt;
  }

  std::vector<uint8_t> file;
  putBytes(file, "\x89PNG\r\n\x1A\n", 8);
  std::vector<uint8_t> header;
  putBe32(header, width);
  putBe32(header, height);
  putBytes(header, "\x08\x02\0\0\0", 5);
  putChunk(file, "IHDR", header.data(), header.size());
  putText(file, "Description", info.description);
  putText(file, "Software", info.software);
  putText(file, "Creation Time", creationTime);
  const std::vector<uint8_t> exif = buildExifAt(info, exifTime);
  putChunk(file, "eXIf", exif.data(), exif.size());
  putChunk(file, "IDAT", compressed.data(), compressedSize);
  putChunk(file, "IEND", nullptr, 0);
  return file;
}

bool writePng(const std::string& path, uint32_t width, uint32_t height, const uint8_t* pixels,
              bool bgra, const CaptureInfo& info) {
  ImageStats stats;
  const auto file = encodePng(width, height, pixels, bgra, info, localTimeText("%Y-%m-%dT%H:%M:%S"),
                              localTimeText("%Y:%m:%d %H:%M:%S"), &stats);
  if (!file) {
    std::fprintf(stderr, "capture: PNG compression failed for %s\n", path.c_str());
    return false;
  }
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    std::fprintf(stderr, "capture: cannot open %s\n", path.c_str());
    return false;
  }
  const bool written = std::fwrite(file->data(), 1, file->size(), out) == file->size();
  const bool closed = std::fclose(out) == 0;
  if (!written || !closed) {
    // A full disk must not pass for a saved screenshot.
    std::fprintf(stderr, "capture: cannot write %s\n", path.c_str());
    return false;
  }
  std::printf("capture: %s (%ux%u, colors=%zu, luma %d..%d)\n", path.c_str(), width, height,
              stats.colours, stats.minLuma, stats.maxLuma);
  return true;
}
