#pragma once
// Offset bookkeeping inside one block of GPU memory: first-fit allocation with
// alignment, and neighbouring free ranges merged again on release. Pure CPU code; the
// Vulkan allocator keeps one of these per memory block.

#include <cstdint>
#include <map>
#include <optional>

class RangeAllocator {
 public:
  explicit RangeAllocator(uint64_t capacity);

  // Offset of a new range of `size` bytes aligned to `alignment` (a power of two, 0 or 1
  // for none); nullopt when no free range fits. A size of 0 is taken as 1.
  std::optional<uint64_t> allocate(uint64_t size, uint64_t alignment);
  // Releases the range that starts at `offset`; false (nothing changed) when no range
  // starts there, which catches double releases.
  bool release(uint64_t offset);

  uint64_t capacity() const { return capacity_; }
  uint64_t usedBytes() const { return usedBytes_; }
  size_t allocationCount() const { return used_.size(); }
  size_t freeRangeCount() const { return free_.size(); }
  uint64_t largestFreeRange() const;
  bool empty() const { return used_.empty(); }

 private:
  void addFree(uint64_t offset, uint64_t size);

  uint64_t capacity_;
  uint64_t usedBytes_ = 0;
  std::map<uint64_t, uint64_t> free_;  // offset -> size, never adjacent to each other
  std::map<uint64_t, uint64_t> used_;  // offset -> size
};
