#pragma once
// Screenshot files: an RGB PNG with three text chunks and an EXIF block, written by our
// own chunk writer (deflate, CRC-32 and Adler-32 come from zlib).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Metadata supplied by whoever takes the screenshot.
struct CaptureInfo {
  std::string software;     // "Orvane <version>"
  std::string description;  // what was on screen; may be empty
};

// Simple statistics gathered while converting the pixels.
struct ImageStats {
  size_t colours = 0;  // distinct colours among pixels with (x + y) % 17 == 0
  int minLuma = 255, maxLuma = 0;
};

// The complete PNG file for `pixels` (width x height texels of 4 bytes, rows top to
// bottom, BGRA when `bgra`, else RGBA), with the given creation time texts
// ("%Y-%m-%dT%H:%M:%S" for tEXt, "%Y:%m:%d %H:%M:%S" for EXIF). nullopt when
// compression fails.
std::optional<std::vector<uint8_t>> encodePng(uint32_t width, uint32_t height,
                                              const uint8_t* pixels, bool bgra,
                                              const CaptureInfo& info,
                                              const std::string& creationTime,
                                              const std::string& exifTime, ImageStats* stats);

// Writes the PNG at `path` with the current local time and prints the "capture:"
// summary line; false (with a message on standard error) when compression fails or the
// file cannot be written.
bool writePng(const std::string& path, uint32_t width, uint32_t height, const uint8_t* pixels,
              bool bgra, const CaptureInfo& info);

// The eXIf chunk data (little-endian TIFF) for the current local time.
std::vector<uint8_t> buildExif(const CaptureInfo& info);
// The same with a given 19-character "%Y:%m:%d %H:%M:%S" time.
std::vector<uint8_t> buildExifAt(const CaptureInfo& info, const std::string& time);

// The local time formatted with strftime `format`.
std::string localTimeText(const char* format);
