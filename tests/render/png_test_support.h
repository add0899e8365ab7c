#pragma once
// Reads PNG files back chunk by chunk for the screenshot tests.

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

struct PngChunk {
  std::string type;
  std::vector<uint8_t> data;
  bool crcOk = false;
};

inline uint32_t readBe32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

// The chunks after the signature; empty when the signature or a length is wrong.
inline std::vector<PngChunk> parsePng(const std::vector<uint8_t>& file) {
  static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (file.size() < 8 || !std::equal(kSignature, kSignature + 8, file.begin())) return {};
  std::vector<PngChunk> chunks;
  size_t at = 8;
  while (at + 12 <= file.size()) {
    const uint32_t length = readBe32(&file[at]);
    if (at + 12 + length > file.size()) return {};
    PngChunk chunk;
    chunk.type.assign(reinterpret_cast<const char*>(&file[at + 4]), 4);
    chunk.data.assign(file.begin() + at + 8, file.begin() + at + 8 + length);
    const uLong crc = crc32(0L, &file[at + 4], length + 4);
    chunk.crcOk = crc == readBe32(&file[at + 8 + length]);
    chunks.push_back(std::move(chunk));
    at += 12 + length;
  }
  return chunks;
}

// The raw (filtered) rows of the IDAT stream.
inline std::vector<uint8_t> inflateIdat(const std::vector<uint8_t>& data, size_t expected) {
  std::vector<uint8_t> out(expected);
  uLongf size = expected;
  if (uncompress(out.data(), &size, data.data(), data.size()) != Z_OK) return {};
  out.resize(size);
  return out;
}
