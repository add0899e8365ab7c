#include "render/range_allocator.h"

#include <algorithm>
#include <iterator>

RangeAllocator::RangeAllocator(uint64_t capacity) : capacity_(capacity) {
  if (capacity > 0) free_[0] = capacity;
}

std::optional<uint64_t> RangeAllocator::allocate(uint64_t size, uint64_t alignment) {
  if (size == 0) size = 1;
  if (alignment == 0) alignment = 1;
  for (auto it = free_.begin(); it != free_.end(); ++it) {
    const uint64_t start = it->first, length = it->second;
    const uint64_t aligned = (start + alignment - 1) & ~(alignment - 1);
    if (aligned < start || aligned - start > length || length - (aligned - start) < size) continue;
    const uint64_t end = start + length;
    free_.erase(it);
    if (aligned > start) free_[start] = aligned - start;
    if (aligned + size < end) free_[aligned + size] = end - (aligned + size);
    used_[aligned] = size;
    usedBytes_ += size;
    return aligned;
  }
  return std::nullopt;
}

bool RangeAllocator::release(uint64_t offset) {
  auto it = used_.find(offset);
  if (it == used_.end()) return false;
  const uint64_t size = it->second;
  used_.erase(it);
  usedBytes_ -= size;
  addFree(offset, size);
  return true;
}

void RangeAllocator::addFree(uint64_t offset, uint64_t size) {
  auto next = free_.lower_bound(offset);
  if (next != free_.end() && offset + size == next->first) {
    size += next->second;
    next = free_.erase(next);
  }
  if (next != free_.begin()) {
    auto previous = std::prev(next);
    if (previous->first + previous->second == offset) {
      previous->second += size;
      return;
    }
  }
  free_[offset] = size;
}

uint64_t RangeAllocator::largestFreeRange() const {
  uint64_t best = 0;
  for (const auto& [offset, size] : free_) best = std::max(best, size);
  return best;
}
