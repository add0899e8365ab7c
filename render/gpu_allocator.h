#pragma once
// Our GPU memory allocator: large blocks per memory type, sub-allocated with a free list,
// dedicated allocations for large resources, host-visible blocks mapped once for their
// whole life, and flushes rounded to the device's atom size for non-coherent memory.
// Buffers and optimally tiled images never share a block, so no granularity padding is
// needed between them.

#include <volk.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "render/range_allocator.h"

enum class MemoryUse {
  DeviceLocal,  // GPU only
  HostWrite,    // written by the CPU, read by the GPU (mapped, sequential writes)
  HostRead,     // written by the GPU, read by the CPU (mapped, cached where possible)
};

struct GpuAllocation {
  VkDeviceMemory memory = VK_NULL_HANDLE;
  VkDeviceSize offset = 0, size = 0;
  void* mapped = nullptr;  // start of this allocation when host-visible
  uint32_t memoryType = 0;
  int32_t block = -1;  // index into the pool's blocks; -1 for a dedicated allocation
  bool linear = true;  // pool of buffers (true) or of optimal images (false)
  bool coherent = true;
};

struct GpuAllocatorStats {
  uint32_t deviceAllocations = 0;  // live vkAllocateMemory results
  uint32_t blocks = 0, dedicated = 0;
  uint64_t blockBytes = 0, usedBytes = 0;
};

class GpuAllocator {
 public:
  // Sub-allocated block size; anything above half of it gets its own allocation.
  static constexpr VkDeviceSize kBlockSize = 64ull << 20;

  GpuAllocator(VkPhysicalDevice physicalDevice, VkDevice device);
  ~GpuAllocator();
  GpuAllocator(const GpuAllocator&) = delete;
  GpuAllocator& operator=(const GpuAllocator&) = delete;

  // Creates a buffer with bound memory; on failure returns the Vulkan error and leaves
  // both outputs empty.
  VkResult createBuffer(const VkBufferCreateInfo& info, MemoryUse use, VkBuffer* buffer,
                        GpuAllocation* allocation);
  // Creates an optimally tiled device-local image with bound memory.
  VkResult createImage(const VkImageCreateInfo& info, VkImage* image, GpuAllocation* allocation);
  void destroyBuffer(VkBuffer buffer, GpuAllocation& allocation);
  void destroyImage(VkImage image, GpuAllocation& allocation);
  // Makes CPU writes to [offset, offset + size) of the allocation visible to the GPU
  // (no-op for coherent memory); VK_WHOLE_SIZE for all of it.
  VkResult flush(const GpuAllocation& allocation, VkDeviceSize offset, VkDeviceSize size);
  // Makes GPU writes visible to the CPU (no-op for coherent memory).
  VkResult invalidate(const GpuAllocation& allocation);

  GpuAllocatorStats stats() const;

 private:
  struct Block {
    VkDeviceMemory memory = VK_NULL_HANDLE;
    void* mapped = nullptr;
    std::unique_ptr<RangeAllocator> ranges;
  };
  // Blocks of one memory type, resource kind and mapping: a mapped allocation never
  // lands in an unmapped block of the same (e.g. unified) memory type.
  struct Pool {
    uint32_t memoryType = 0;
    bool linear = true;
    bool mapped = false;
    std::vector<Block> blocks;  // emptied blocks are freed, leaving a null slot
  };

  int findMemoryType(uint32_t allowedTypes, MemoryUse use) const;
  VkResult allocate(const VkMemoryRequirements& requirements, MemoryUse use, bool linear,
                    GpuAllocation* allocation);
  VkResult allocateMemory(VkDeviceSize size, uint32_t memoryType, bool map, VkDeviceMemory* memory,
                          void** mapped);
  void release(GpuAllocation& allocation);
  Pool& poolFor(uint32_t memoryType, bool linear, bool mapped);
  VkMappedMemoryRange range(const GpuAllocation& allocation, VkDeviceSize offset,
                            VkDeviceSize size) const;

  VkDevice device_;
  VkPhysicalDeviceMemoryProperties memoryProperties_{};
  VkDeviceSize atomSize_ = 1;
  std::vector<Pool> pools_;
  uint32_t dedicatedCount_ = 0;
};
