#pragma once
// Little-endian, unpadded fields written to and read from byte buffers: the common
// ground of the save files, the datagram protocol and the PNG writer's neighbours.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

// Appends fields to a growing buffer.
class ByteWriter {
 public:
  explicit ByteWriter(size_t reserve = 0) { out_.reserve(reserve); }
  void u8(uint8_t v) { out_.push_back(v); }
  void u16(uint16_t v) { little(v, 2); }
  void u32(uint32_t v) { little(v, 4); }
  void i32(int32_t v) { little(static_cast<uint32_t>(v), 4); }
  void f32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    little(bits, 4);
  }
  void bytes(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) out_.push_back(p[i]);
  }
  size_t size() const { return out_.size(); }
  std::vector<uint8_t> take() { return std::move(out_); }

 private:
  void little(uint32_t v, int size) {
    for (int i = 0; i < size; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  std::vector<uint8_t> out_;
};

// Reads fields from a buffer it does not own. Once a read runs past the end (or a
// caller calls fail()), every later read yields 0 and ok() stays false.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool ok() const { return ok_; }
  void fail() { ok_ = false; }
  size_t remaining() const { return ok_ ? size_ - pos_ : 0; }
  uint8_t u8() { return have(1) ? data_[pos_++] : 0; }
  uint16_t u16() { return static_cast<uint16_t>(little(2)); }
  uint32_t u32() { return little(4); }
  int32_t i32() { return static_cast<int32_t>(little(4)); }
  float f32() {
    const uint32_t bits = little(4);
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
  }
  // The next `size` bytes, or null (and the reader fails) when fewer remain.
  const uint8_t* bytes(size_t size) {
    if (!have(size)) return nullptr;
    const uint8_t* p = data_ + pos_;
    pos_ += size;
    return p;
  }

 private:
  bool have(size_t n) {
    if (ok_ && size_ - pos_ >= n) return true;
    ok_ = false;
    return false;
  }
  uint32_t little(int n) {
    if (!have(static_cast<size_t>(n))) return 0;
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v |= static_cast<uint32_t>(data_[pos_ + i]) << (8 * i);
    pos_ += static_cast<size_t>(n);
    return v;
  }
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};
