#include "render/gpu_allocator.h"

#include <algorithm>

namespace {

bool hostVisible(MemoryUse use) {
  return use != MemoryUse::DeviceLocal;
}

}  // namespace

GpuAllocator::GpuAllocator(VkPhysicalDevice physicalDevice, VkDevice device) : device_(device) {
  vkGetPhysicalDeviceMemoryProperties(physicalDevice, &memoryProperties_);
  VkPhysicalDeviceProperties properties;
  vkGetPhysicalDeviceProperties(physicalDevice, &properties);
  atomSize_ = std::max<VkDeviceSize>(1, properties.limits.nonCoherentAtomSize);
}

GpuAllocator::~GpuAllocator() {
  for (Pool& pool : pools_) {
    for (Block& block : pool.blocks) {
      if (block.memory != VK_NULL_HANDLE) vkFreeMemory(device_, block.memory, nullptr);
    }
  }
}

int GpuAllocator::findMemoryType(uint32_t allowedTypes, MemoryUse use) const {
  // Preferred flags first, then the bare minimum.
  VkMemoryPropertyFlags wanted[2] = {VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT, 0};
  if (use == MemoryUse::HostWrite) {
    wanted[0] = VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT;
    wanted[1] = VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT;
  } else if (use == MemoryUse::HostRead) {
    wanted[0] = VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_CACHED_BIT;
    wanted[1] = VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT;
  }
  for (VkMemoryPropertyFlags flags : wanted) {
    for (uint32_t i = 0; i < memoryProperties_.memoryTypeCount; ++i) {
      if ((allowedTypes & (1u << i)) != 0 &&
          (memoryProperties_.memoryTypes[i].propertyFlags & flags) == flags) {
        return static_cast<int>(i);
      }
    }
  }
  return -1;
}

GpuAllocator::Pool& GpuAllocator::poolFor(uint32_t memoryType, bool linear, bool mapped) {
  for (Pool& pool : pools_) {
    if (pool.memoryType == memoryType && pool.linear == linear && pool.mapped == mapped) {
      return pool;
    }
  }
  pools_.push_back(Pool{memoryType, linear, mapped, {}});
  return pools_.back();
}

VkResult GpuAllocator::allocateMemory(VkDeviceSize size, uint32_t memoryType, bool map,
                                      VkDeviceMemory* memory, void** mapped) {
  VkMemoryAllocateInfo info{VK_STRUCTURE_TYPE_MEMORY_ALLOCATE_INFO};
  info.allocationSize = size;
  info.memoryTypeIndex = memoryType;
  VkResult result = vkAllocateMemory(device_, &info, nullptr, memory);
  if (result != VK_SUCCESS) return result;
  *mapped = nullptr;
  if (map) {
    result = vkMapMemory(device_, *memory, 0, VK_WHOLE_SIZE, 0, mapped);
    if (result != VK_SUCCESS) {
      vkFreeMemory(device_, *memory, nullptr);
      *memory = VK_NULL_HANDLE;
    }
  }
  return result;
}

VkResult GpuAllocator::allocate(const VkMemoryRequirements& requirements, MemoryUse use,
                                bool linear, GpuAllocation* allocation) {
  const int type = findMemoryType(requirements.memoryTypeBits, use);
  if (type < 0) return VK_ERROR_FEATURE_NOT_PRESENT;
  GpuAllocation result;
  result.memoryType = static_cast<uint32_t>(type);
  result.size = requirements.size;
  result.linear = linear;
  result.coherent = (memoryProperties_.memoryTypes[type].propertyFlags &
                     VK_MEMORY_PROPERTY_HOST_COHERENT_BIT) != 0;
  const bool map = hostVisible(use);
  if (requirements.size > kBlockSize / 2) {
    const VkResult status =
        allocateMemory(requirements.size, result.memoryType, map, &result.memory, &result.mapped);
    if (status != VK_SUCCESS) return status;
    ++dedicatedCount_;
    *allocation = result;
    return VK_SUCCESS;
  }
  // Alignment to the atom size keeps flushes of one allocation off its neighbours.
  const VkDeviceSize alignment =
      std::max(requirements.alignment, result.coherent ? VkDeviceSize{1} : atomSize_);
  Pool& pool = poolFor(result.memoryType, linear, map);
  int32_t freeSlot = -1;
  for (size_t i = 0; i < pool.blocks.size(); ++i) {
    Block& block = pool.blocks[i];
    if (block.memory == VK_NULL_HANDLE) {
      if (freeSlot < 0) freeSlot = static_cast<int32_t>(i);
      continue;
    }
    if (auto offset = block.ranges->allocate(requirements.size, alignment)) {
      result.memory = block.memory;
      result.offset = *offset;
      result.block = static_cast<int32_t>(i);
      if (block.mapped != nullptr) result.mapped = static_cast<uint8_t*>(block.mapped) + *offset;
      *allocation = result;
      return VK_SUCCESS;
    }
  }
  Block block;
  const VkResult status =
      allocateMemory(kBlockSize, result.memoryType, map, &block.memory, &block.mapped);
  if (status != VK_SUCCESS) return status;
  block.ranges = std::make_unique<RangeAllocator>(kBlockSize);
  const uint64_t offset = *block.ranges->allocate(requirements.size, alignment);
  if (freeSlot < 0) {
    freeSlot = static_cast<int32_t>(pool.blocks.size());
    pool.blocks.emplace_back();
  }
  result.memory = block.memory;
  result.offset = offset;
  result.block = freeSlot;
  if (block.mapped != nullptr) result.mapped = static_cast<uint8_t*>(block.mapped) + offset;
  pool.blocks[freeSlot] = std::move(block);
  *allocation = result;
  return VK_SUCCESS;
}

void GpuAllocator::release(GpuAllocation& allocation) {
  if (allocation.memory == VK_NULL_HANDLE) return;
  if (allocation.block < 0) {
    vkFreeMemory(device_, allocation.memory, nullptr);
    --dedicatedCount_;
  } else {
    Pool& pool = poolFor(allocation.memoryType, allocation.linear, allocation.mapped != nullptr);
    Block& block = pool.blocks[allocation.block];
    block.ranges->release(allocation.offset);
    // Keep one empty block per pool around; free the others.
    if (block.ranges->empty()) {
      size_t live = 0;
      for (const Block& other : pool.blocks) live += other.memory != VK_NULL_HANDLE ? 1 : 0;
      if (live > 1) {
        vkFreeMemory(device_, block.memory, nullptr);
        block = Block{};
      }
    }
  }
  allocation = GpuAllocation{};
}

VkResult GpuAllocator::createBuffer(const VkBufferCreateInfo& info, MemoryUse use, VkBuffer* buffer,
                                    GpuAllocation* allocation) {
  *buffer = VK_NULL_HANDLE;
  *allocation = GpuAllocation{};
  VkResult result = vkCreateBuffer(device_, &info, nullptr, buffer);
  if (result != VK_SUCCESS) return result;
  VkMemoryRequirements requirements;
  vkGetBufferMemoryRequirements(device_, *buffer, &requirements);
  result = allocate(requirements, use, true, allocation);
  if (result == VK_SUCCESS) {
    result = vkBindBufferMemory(device_, *buffer, allocation->memory, allocation->offset);
  }
  if (result != VK_SUCCESS) destroyBuffer(*buffer, *allocation), *buffer = VK_NULL_HANDLE;
  return result;
}

VkResult GpuAllocator::createImage(const VkImageCreateInfo& info, VkImage* image,
                                   GpuAllocation* allocation) {
  *image = VK_NULL_HANDLE;
  *allocation = GpuAllocation{};
  VkResult result = vkCreateImage(device_, &info, nullptr, image);
  if (result != VK_SUCCESS) return result;
  VkMemoryRequirements requirements;
  vkGetImageMemoryRequirements(device_, *image, &requirements);
  result = allocate(requirements, MemoryUse::DeviceLocal, info.tiling == VK_IMAGE_TILING_LINEAR,
                    allocation);
  if (result == VK_SUCCESS) {
    result = vkBindImageMemory(device_, *image, allocation->memory, allocation->offset);
  }
  if (result != VK_SUCCESS) destroyImage(*image, *allocation), *image = VK_NULL_HANDLE;
  return result;
}

void GpuAllocator::destroyBuffer(VkBuffer buffer, GpuAllocation& allocation) {
  if (buffer != VK_NULL_HANDLE) vkDestroyBuffer(device_, buffer, nullptr);
  release(allocation);
}

void GpuAllocator::destroyImage(VkImage image, GpuAllocation& allocation) {
  if (image != VK_NULL_HANDLE) vkDestroyImage(device_, image, nullptr);
  release(allocation);
}

VkMappedMemoryRange GpuAllocator::range(const GpuAllocation& allocation, VkDeviceSize offset,
                                        VkDeviceSize size) const {
  if (size == VK_WHOLE_SIZE) size = allocation.size - std::min(offset, allocation.size);
  VkDeviceSize begin = allocation.offset + offset;
  VkDeviceSize end = begin + size;
  begin = begin / atomSize_ * atomSize_;
  end = (end + atomSize_ - 1) / atomSize_ * atomSize_;
  VkMappedMemoryRange out{VK_STRUCTURE_TYPE_MAPPED_MEMORY_RANGE};
  out.memory = allocation.memory;
  out.offset = begin;
  // A dedicated allocation may end before the rounded end: flush to its end instead.
  out.size = allocation.block < 0 && end > allocation.size ? VK_WHOLE_SIZE : end - begin;
  return out;
}

VkResult GpuAllocator::flush(const GpuAllocation& allocation, VkDeviceSize offset,
                             VkDeviceSize size) {
  if (allocation.coherent || allocation.memory == VK_NULL_HANDLE) return VK_SUCCESS;
  const VkMappedMemoryRange r = range(allocation, offset, size);
  return vkFlushMappedMemoryRanges(device_, 1, &r);
}

VkResult GpuAllocator::invalidate(const GpuAllocation& allocation) {
  if (allocation.coherent || allocation.memory == VK_NULL_HANDLE) return VK_SUCCESS;
  const VkMappedMemoryRange r = range(allocation, 0, VK_WHOLE_SIZE);
  return vkInvalidateMappedMemoryRanges(device_, 1, &r);
}

GpuAllocatorStats GpuAllocator::stats() const {
  GpuAllocatorStats stats;
  stats.dedicated = dedicatedCount_;
  for (const Pool& pool : pools_) {
    for (const Block& block : pool.blocks) {
      if (block.memory == VK_NULL_HANDLE) continue;
      ++stats.blocks;
      stats.blockBytes += block.ranges->capacity();
      stats.usedBytes += block.ranges->usedBytes();
    }
  }
  stats.deviceAllocations = stats.blocks + stats.dedicated;
  return stats;
}
