// The mesh store: chunk meshes (opaque, translucent and depth-only shadow maps), the
// model table and the particle mesh. Each mesh is one buffer from the allocator's
// persistently mapped host-visible blocks, filled by a single copy. A replaced or removed
// mesh may still be in use by the frame on the GPU, so it goes to the retired list and is
// destroyed after the next frame's fence waits, never by stalling the device here.

#include <cstring>
#include <optional>

#include "render/scene_math.h"
#include "render/vk_check.h"
#include "render/vulkan_renderer.h"

GpuMesh VulkanRenderer::uploadMesh(const ChunkMesh& mesh) {
  GpuMesh gpu;
  if (mesh.indices.empty()) return gpu;
  const size_t vertexBytes = mesh.vertices.size() * sizeof(ChunkVertex);
  const size_t indexBytes = mesh.indices.size() * sizeof(uint32_t);
  VkBufferCreateInfo bufferInfo{VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
  bufferInfo.size = vertexBytes + indexBytes;
  bufferInfo.usage = VK_BUFFER_USAGE_VERTEX_BUFFER_BIT | VK_BUFFER_USAGE_INDEX_BUFFER_BIT;
  // A failed allocation leaves the mesh empty: it is simply not drawn.
  if (allocator_->createBuffer(bufferInfo, MemoryUse::HostWrite, &gpu.buffer, &gpu.allocation) !=
      VK_SUCCESS) {
    return GpuMesh{};
  }
  auto* mapped = static_cast<uint8_t*>(gpu.allocation.mapped);
  std::memcpy(mapped, mesh.vertices.data(), vertexBytes);
  std::memcpy(mapped + vertexBytes, mesh.indices.data(), indexBytes);
  allocator_->flush(gpu.allocation, 0, VK_WHOLE_SIZE);
  gpu.indexCount = static_cast<uint32_t>(mesh.indices.size());
  gpu.indexOffset = vertexBytes;
  return gpu;
}

namespace {

// Size of one shared mesh buffer: half an allocator block, so the allocator sub-allocates
// it like any other buffer.
constexpr VkDeviceSize kArenaSize = 32ull << 20;
constexpr uint32_t kIndirectCommands = 32768;  // per frame slot

}  // namespace

GpuMesh VulkanRenderer::uploadChunkMesh(const ChunkMesh& mesh) {
  if (mesh.indices.empty()) return GpuMesh{};
  const size_t vertexBytes = mesh.vertices.size() * sizeof(ChunkVertex);
  const size_t indexBytes = mesh.indices.size() * sizeof(uint32_t);
  // The vertices must start on a whole vertex of the buffer: room to round up to 28.
  const VkDeviceSize size = vertexBytes + indexBytes + sizeof(ChunkVertex) - 4;
  if (size > kArenaSize) return uploadMesh(mesh);
  std::optional<uint64_t> range;
  size_t arena = 0;
  for (; arena < arenas_.size() && !range; ++arena)
    range = arenas_[arena].ranges->allocate(size, 4);
  if (range) {
    --arena;
  } else {
    MeshArena fresh;
    VkBufferCreateInfo bufferInfo{VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
    bufferInfo.size = kArenaSize;
    bufferInfo.usage = VK_BUFFER_USAGE_VERTEX_BUFFER_BIT | VK_BUFFER_USAGE_INDEX_BUFFER_BIT;
    if (allocator_->createBuffer(bufferInfo, MemoryUse::HostWrite, &fresh.buffer,
                                 &fresh.allocation) != VK_SUCCESS) {
      return uploadMesh(mesh);
    }
    fresh.ranges = std::make_unique<RangeAllocator>(kArenaSize);
    range = fresh.ranges->allocate(size, 4);
    arenas_.push_back(std::move(fresh));
    arena = arenas_.size() - 1;
  }
  const MeshArena& target = arenas_[arena];
  const uint64_t start =
      (*range + sizeof(ChunkVertex) - 1) / sizeof(ChunkVertex) * sizeof(ChunkVertex);
  auto* mapped = static_cast<uint8_t*>(target.allocation.mapped) + start;
  std::memcpy(mapped, mesh.vertices.data(), vertexBytes);
  std::memcpy(mapped + vertexBytes, mesh.indices.data(), indexBytes);
  allocator_->flush(target.allocation, start, vertexBytes + indexBytes);
  GpuMesh gpu;
  gpu.buffer = target.buffer;
  gpu.indexCount = static_cast<uint32_t>(mesh.indices.size());
  gpu.indexOffset = vertexBytes;
  gpu.arena = static_cast<int>(arena);
  gpu.range = *range;
  gpu.vertexOffset = static_cast<int32_t>(start / sizeof(ChunkVertex));
  gpu.firstIndex = static_cast<uint32_t>((start + vertexBytes) / sizeof(uint32_t));
  return gpu;
}

void VulkanRenderer::createIndirectBuffers() {
  for (IndirectBuffer& indirect : indirect_) {
    VkBufferCreateInfo bufferInfo{VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
    bufferInfo.size = kIndirectCommands * sizeof(VkDrawIndexedIndirectCommand);
    bufferInfo.usage = VK_BUFFER_USAGE_INDIRECT_BUFFER_BIT;
    VK_CHECK(allocator_->createBuffer(bufferInfo, MemoryUse::HostWrite, &indirect.buffer,
                                      &indirect.allocation));
    indirect.capacity = kIndirectCommands;
  }
}

void VulkanRenderer::destroyMeshBuffers() {
  for (MeshArena& arena : arenas_) allocator_->destroyBuffer(arena.buffer, arena.allocation);
  arenas_.clear();
  for (IndirectBuffer& indirect : indirect_) {
    if (indirect.buffer != VK_NULL_HANDLE) {
      allocator_->destroyBuffer(indirect.buffer, indirect.allocation);
    }
    indirect = IndirectBuffer{};
  }
}

void VulkanRenderer::destroyMesh(GpuMesh& mesh) {
  if (mesh.arena >= 0) {
    arenas_[static_cast<size_t>(mesh.arena)].ranges->release(mesh.range);
  } else if (mesh.buffer != VK_NULL_HANDLE) {
    allocator_->destroyBuffer(mesh.buffer, mesh.allocation);
  }
  mesh = GpuMesh{};
}

void VulkanRenderer::retire(GpuMesh& mesh) {
  if (mesh.buffer != VK_NULL_HANDLE) retired_.push_back(mesh);
  mesh = GpuMesh{};
}

void VulkanRenderer::replaceChunkMesh(ChunkMeshMap& map, ChunkKey chunk, const ChunkMesh& mesh) {
  if (device_ == VK_NULL_HANDLE) return;
  if (GpuMesh* old = map.lookup(chunk)) {
    retire(*old);
    map.erase(chunk);
  }
  GpuMesh gpu = uploadChunkMesh(mesh);
  if (gpu.buffer == VK_NULL_HANDLE) return;
  const Box box = chunkBox(chunk.cx, chunk.sy, chunk.cz);
  const float bounds[6] = {box.min.x, box.min.y, box.min.z, box.max.x, box.max.y, box.max.z};
  std::memcpy(gpu.box, bounds, sizeof bounds);
  map[chunk] = gpu;
}

void VulkanRenderer::setChunkMesh(ChunkKey chunk, const ChunkMesh& mesh) {
  ++chunkGeneration_;
  replaceChunkMesh(opaqueMeshes_, chunk, mesh);
  if (GpuMesh* old = shadowMeshes_.lookup(chunk)) {
    retire(*old);
    shadowMeshes_.erase(chunk);
  }
}

void VulkanRenderer::setChunkTranslucentMesh(ChunkKey chunk, const ChunkMesh& mesh) {
  replaceChunkMesh(translucentMeshes_, chunk, mesh);
}

void VulkanRenderer::setChunkShadowMesh(ChunkKey chunk, const ChunkMesh& mesh) {
  ++chunkGeneration_;
  replaceChunkMesh(shadowMeshes_, chunk, mesh);
}

void VulkanRenderer::removeChunkMeshes(ChunkKey chunk) {
  ++chunkGeneration_;
  for (ChunkMeshMap* map : {&opaqueMeshes_, &translucentMeshes_, &shadowMeshes_}) {
    if (GpuMesh* old = map->lookup(chunk)) {
      retire(*old);
      map->erase(chunk);
    }
  }
}

void VulkanRenderer::clearChunkMeshes() {
  if (device_ == VK_NULL_HANDLE) return;
  ++chunkGeneration_;
  vkDeviceWaitIdle(device_);
  for (ChunkMeshMap* map : {&opaqueMeshes_, &translucentMeshes_, &shadowMeshes_}) {
    for (auto& entry : *map) destroyMesh(entry.second);
    map->clear();
  }
  for (GpuMesh& mesh : retired_) destroyMesh(mesh);
  retired_.clear();
  drawnChunks_ = 0;
}

void VulkanRenderer::setModelMesh(int index, const ChunkMesh& mesh) {
  if (device_ == VK_NULL_HANDLE || index < 0) return;
  if (static_cast<size_t>(index) >= models_.size()) models_.resize(index + 1);
  retire(models_[index]);
  models_[index] = uploadMesh(mesh);
}

void VulkanRenderer::setParticleMesh(const ChunkMesh& mesh) {
  if (device_ == VK_NULL_HANDLE) return;
  retire(particleMesh_);
  particleMesh_ = uploadMesh(mesh);
}

void VulkanRenderer::destroyRetired() {
  for (GpuMesh& mesh : retired_) destroyMesh(mesh);
  retired_.clear();
}

void VulkanRenderer::destroyAllMeshes() {
  for (ChunkMeshMap* map : {&opaqueMeshes_, &translucentMeshes_, &shadowMeshes_}) {
    for (auto& entry : *map) destroyMesh(entry.second);
    map->clear();
  }
  destroyRetired();
  for (GpuMesh& mesh : models_) destroyMesh(mesh);
  models_.clear();
  destroyMesh(particleMesh_);
  drawnChunks_ = 0;
}

uint64_t VulkanRenderer::chunkTriangleCount() const {
  uint64_t triangles = 0;
  for (const auto& entry : opaqueMeshes_) triangles += entry.second.indexCount / 3;
  return triangles;
}

uint64_t VulkanRenderer::shadowTriangleCount() const {
  uint64_t triangles = 0;
  for (const auto& entry : shadowMeshes_) triangles += entry.second.indexCount / 3;
  return triangles;
}

GpuAllocatorStats VulkanRenderer::allocatorStats() const {
  return allocator_ ? allocator_->stats() : GpuAllocatorStats{};
}

void VulkanRenderer::setLighting(float daylight, float fogEnd, glm::vec3 sunDirection) {
  daylight_ = std::clamp(daylight, 0.0f, 1.0f);
  fogEnd_ = fogEnd;
  const float length = glm::length(sunDirection);
  if (length > 0.0001f) sunDirection_ = sunDirection / length;
}

void VulkanRenderer::setRenderToggles(bool shadows, bool postProcessing) {
  if (shadows != shadowsOn_) invalidateShadowCache(shadowCache_);
  shadowsOn_ = shadows;
  postProcessingOn_ = postProcessing;
}
