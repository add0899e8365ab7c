// The mesh store: chunk meshes (opaque, translucent and depth-only shadow maps), the
// model table and the particle mesh. Each mesh is one buffer from the allocator's
// persistently mapped host-visible blocks, filled by a single copy. A replaced or removed
// mesh may still be in use by the frame on the GPU, so it goes to the retired list and is
// destroyed after the next frame's fence waits, never by stalling the device here.

#include <cstring>

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

void VulkanRenderer::destroyMesh(GpuMesh& mesh) {
  if (mesh.buffer != VK_NULL_HANDLE) allocator_->destroyBuffer(mesh.buffer, mesh.allocation);
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
  GpuMesh gpu = uploadMesh(mesh);
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
