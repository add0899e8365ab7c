// The shadow map's pipeline and its pass: three cascades rendered depth-only from the
// sun, each drawing only the opaque chunks inside its own light volume that can shade
// something its slice of the view shows (their merged depth-only meshes where there are
// any), plus the entities inside it. Translucent chunks and particles cast no shadow.
// Cascades are redrawn only when shadow_cache.h says so.

#include <algorithm>

#include "render/scene_math.h"
#include "render/vk_check.h"
#include "render/vulkan_renderer.h"

namespace {

struct ShadowPush {
  glm::mat4 matrix;
  glm::vec4 camera;    // position, daylight
  glm::vec4 position;  // entity position (chunks: 0, 0, 0, 1)
  glm::vec4 params;    // yaw, flash, reserved, scale
  glm::vec4 sky;       // sky colour, fog end
};
static_assert(sizeof(ShadowPush) == 128, "the scene push range is 128 bytes");

constexpr uint32_t kShadowMapSize = 2048;
// Half the size of a box that holds any entity model at scale 1.
constexpr float kEntityReach = 3.0f;

Box entityBox(const EntityInstance& e) {
  const glm::vec3 at(e.x, e.y, e.z), reach(kEntityReach * std::max(e.scale, 1.0f));
  return {at - reach, at + reach};
}

bool entityCastsInto(const std::array<glm::vec4, 6>& receivers, const EntityInstance& e,
                     glm::vec3 sun) {
  return castsInto(receivers, sun, entityBox(e));
}

}  // namespace

void VulkanRenderer::createShadowPipeline() {
  const VkPushConstantRange push{VK_SHADER_STAGE_VERTEX_BIT, 0, 128};
  VkPipelineLayoutCreateInfo layoutInfo{VK_STRUCTURE_TYPE_PIPELINE_LAYOUT_CREATE_INFO};
  layoutInfo.pushConstantRangeCount = 1;
  layoutInfo.pPushConstantRanges = &push;
  VK_CHECK(vkCreatePipelineLayout(device_, &layoutInfo, nullptr, &shadowPipelineLayout_));

  VkShaderModule vertex = loadShader("shadow_vs.spv", "shadow_vs");
  if (!vertex) throw std::runtime_error("shadow shader missing");
  try {
    pipelineShadow_ =
        createPipeline(shadowPipelineLayout_, vertex, "VSMain", VK_NULL_HANDLE, nullptr, true,
                       VK_FORMAT_UNDEFINED, true, true, false, false, true);
  } catch (...) {
    vkDestroyShaderModule(device_, vertex, nullptr);
    throw;
  }
  vkDestroyShaderModule(device_, vertex, nullptr);
}

std::array<glm::mat4, 3> VulkanRenderer::planShadowPass(
    bool run, const CascadeSet& cascades, const glm::mat4& viewProjection, glm::vec3 cameraPosition,
    const std::vector<EntityInstance>& entities) {
  shadowRedrawn_ = {false, false, false};
  if (!run) {
    // Maps that are not kept up to date are not kept at all.
    invalidateShadowCache(shadowCache_);
    shadowDraws_ = {0, 0, 0};
    shadowLookup_ = cascades.matrices;
    return shadowLookup_;
  }
  CascadeFrame& frame = cascadeFrame_;
  frame.fresh = cascades;
  frame.sun = sunDirection_;
  frame.camera = cameraPosition;
  frame.forward = cameraForward(viewProjection, cameraPosition);
  frame.chunkGeneration = chunkGeneration_;
  // Only the entities whose shadow can fall on what a cascade's slice of the view shows
  // make its map stale (and are drawn into it).
  const float depths[4] = {-1e9f, cascades.splits.x, cascades.splits.y, cascades.splits.z};
  std::vector<EntityPose> poses;
  for (int c = 0; c < 3; ++c) {
    const auto receivers = receiverPlanes(viewProjection, cameraPosition, frame.forward, depths[c],
                                          depths[c + 1], kShadowReceiverMargin);
    poses.clear();
    for (const EntityInstance& e : entities) {
      if (!entityCastsInto(receivers, e, sunDirection_)) continue;
      poses.push_back({{e.x, e.y, e.z}, e.yaw, e.scale, e.model});
    }
    auto planes = frustumPlanes(shadowClipMatrix(cascades.matrices[c]));
    planes[4] = glm::vec4(0, 0, 0, 1);
    frame.entityHash[c] = entityHashInside(planes, poses, kEntityReach);
  }
  shadowRedrawn_ = planCascadeRedraws(shadowCache_, frame);
  if (!shadowShortcuts_) shadowRedrawn_ = {true, true, true};
  for (int c = 0; c < 3; ++c) {
    shadowLookup_[c] = shadowRedrawn_[c] ? cascades.matrices[c] : shadowCache_.maps[c].matrix;
  }
  return shadowLookup_;
}

void VulkanRenderer::recordShadowPass(VkCommandBuffer cmd, const glm::mat4& viewProjection,
                                      glm::vec3 cameraPosition,
                                      const std::vector<EntityInstance>& entities) {
  const CascadeFrame& frame = cascadeFrame_;
  if (!shadowRedrawn_[0] && !shadowRedrawn_[1] && !shadowRedrawn_[2]) {
    for (int c = 0; c < 3; ++c) shadowDraws_[c] = shadowCache_.maps[c].chunkDraws;
    return;
  }
  const VkPipelineStageFlags depthStages =
      VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_LATE_FRAGMENT_TESTS_BIT;
  // From shader-read, the layers that are not redrawn keep their depth.
  transition(
      cmd, shadowImage_, shadowLayout_, VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL,
      VK_IMAGE_ASPECT_DEPTH_BIT, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, depthStages,
      VK_ACCESS_SHADER_READ_BIT,
      VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_READ_BIT | VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT,
      3);

  const VkViewport viewport{0, 0, kShadowMapSize, kShadowMapSize, 0, 1};
  const VkRect2D scissor{{0, 0}, {kShadowMapSize, kShadowMapSize}};
  const float depths[4] = {-1e9f, frame.fresh.splits.x, frame.fresh.splits.y, frame.fresh.splits.z};
  for (int c = 0; c < 3; ++c) {
    if (!shadowRedrawn_[c]) continue;
    const glm::mat4& matrix = frame.fresh.matrices[c];
    VkRenderingAttachmentInfo depth{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    depth.imageView = shadowLayerViews_[c];
    depth.imageLayout = VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL;
    depth.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
    depth.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    depth.clearValue.depthStencil = {1.0f, 0};
    VkRenderingInfo rendering{VK_STRUCTURE_TYPE_RENDERING_INFO};
    rendering.renderArea = scissor;
    rendering.layerCount = 1;
    rendering.pDepthAttachment = &depth;
    cmdBeginRendering_(cmd, &rendering);
    vkCmdSetViewport(cmd, 0, 1, &viewport);
    vkCmdSetScissor(cmd, 0, 1, &scissor);
    vkCmdBindPipeline(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, pipelineShadow_);

    ShadowPush push{matrix, glm::vec4(cameraPosition, daylight_), glm::vec4(0, 0, 0, 1),
                    glm::vec4(0, 0, 0, 1), glm::vec4(skyColour(daylight_), fogEnd_)};
    vkCmdPushConstants(cmd, shadowPipelineLayout_, VK_SHADER_STAGE_VERTEX_BIT, 0, sizeof push,
                       &push);
    // The vertex stage flattens casters nearer than the light's near plane onto it, so
    // only the side and far planes may cull. A chunk must also be able to shade a point
    // this cascade's slice of the view holds.
    auto planes = frustumPlanes(shadowClipMatrix(matrix));
    planes[4] = glm::vec4(0, 0, 0, 1);
    const auto receivers = receiverPlanes(viewProjection, cameraPosition, frame.forward, depths[c],
                                          depths[c + 1], kShadowReceiverMargin);
    drawList_.clear();
    for (const auto& entry : opaqueMeshes_) {
      const GpuMesh& mesh = entry.second;
      const Box box{{mesh.box[0], mesh.box[1], mesh.box[2]},
                    {mesh.box[3], mesh.box[4], mesh.box[5]}};
      if (outsideFrustum(planes, box)) continue;
      if (shadowShortcuts_ && !castsInto(receivers, frame.sun, box)) continue;
      const GpuMesh* depthOnly = shadowShortcuts_ ? shadowMeshes_.lookup(entry.first) : nullptr;
      drawList_.push_back(depthOnly != nullptr ? depthOnly : &mesh);
    }
    std::stable_sort(drawList_.begin(), drawList_.end(),
                     [](const GpuMesh* a, const GpuMesh* b) { return a->arena < b->arena; });
    drawChunkMeshes(cmd, drawList_);
    markCascadeDrawn(shadowCache_, c, frame, static_cast<int>(drawList_.size()));

    if (!models_.empty()) {
      for (const EntityInstance& instance : entities) {
        const GpuMesh& model = models_[instance.model % models_.size()];
        if (model.buffer == VK_NULL_HANDLE) continue;
        if (shadowShortcuts_ && (outsideFrustum(planes, entityBox(instance)) ||
                                 !entityCastsInto(receivers, instance, frame.sun))) {
          continue;
        }
        ShadowPush entity = push;
        entity.position = glm::vec4(instance.x, instance.y, instance.z, 0);
        entity.params = glm::vec4(instance.yaw, instance.flash, instance.reserved, instance.scale);
        vkCmdPushConstants(cmd, shadowPipelineLayout_, VK_SHADER_STAGE_VERTEX_BIT, 0, sizeof entity,
                           &entity);
        drawMesh(cmd, model);
      }
    }
    cmdEndRendering_(cmd);
  }
  for (int c = 0; c < 3; ++c) shadowDraws_[c] = shadowCache_.maps[c].chunkDraws;

  transition(cmd, shadowImage_, shadowLayout_, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL,
             VK_IMAGE_ASPECT_DEPTH_BIT, depthStages, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
             VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT, 3);
}

void VulkanRenderer::setShadowShortcuts(bool on) {
  if (on != shadowShortcuts_) invalidateShadowCache(shadowCache_);
  shadowShortcuts_ = on;
}

std::vector<float> VulkanRenderer::sampleShadowMaps(const std::vector<glm::vec3>& points) {
  if (device_ == VK_NULL_HANDLE || points.empty()) return {};
  vkDeviceWaitIdle(device_);
  std::vector<float> depths(points.size() * 3, -1.0f);
  std::vector<VkBufferImageCopy> regions;
  std::vector<size_t> slots;
  for (size_t i = 0; i < points.size(); ++i) {
    for (int c = 0; c < 3; ++c) {
      const glm::vec4 clip = shadowLookup_[c] * glm::vec4(points[i], 1.0f);
      const glm::vec2 uv = glm::vec2(clip) / clip.w * 0.5f + 0.5f;
      if (uv.x < 0 || uv.y < 0 || uv.x >= 1 || uv.y >= 1) continue;
      VkBufferImageCopy region{};
      region.bufferOffset = regions.size() * sizeof(float);
      region.imageSubresource = {VK_IMAGE_ASPECT_DEPTH_BIT, 0, static_cast<uint32_t>(c), 1};
      region.imageOffset = {static_cast<int32_t>(uv.x * kShadowMapSize),
                            static_cast<int32_t>(uv.y * kShadowMapSize), 0};
      region.imageExtent = {1, 1, 1};
      regions.push_back(region);
      slots.push_back(i * 3 + c);
    }
  }
  if (regions.empty()) return depths;
  VkBuffer buffer = VK_NULL_HANDLE;
  GpuAllocation allocation;
  VkBufferCreateInfo bufferInfo{VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
  bufferInfo.size = regions.size() * sizeof(float);
  bufferInfo.usage = VK_BUFFER_USAGE_TRANSFER_DST_BIT;
  if (allocator_->createBuffer(bufferInfo, MemoryUse::HostRead, &buffer, &allocation) !=
      VK_SUCCESS) {
    return {};
  }
  immediateSubmit([&](VkCommandBuffer cmd) {
    const VkImageLayout back = shadowLayout_;
    transition(cmd, shadowImage_, shadowLayout_, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL,
               VK_IMAGE_ASPECT_DEPTH_BIT, VK_PIPELINE_STAGE_ALL_COMMANDS_BIT,
               VK_PIPELINE_STAGE_TRANSFER_BIT, 0, VK_ACCESS_TRANSFER_READ_BIT, 3);
    vkCmdCopyImageToBuffer(cmd, shadowImage_, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, buffer,
                           static_cast<uint32_t>(regions.size()), regions.data());
    transition(cmd, shadowImage_, shadowLayout_, back, VK_IMAGE_ASPECT_DEPTH_BIT,
               VK_PIPELINE_STAGE_TRANSFER_BIT, VK_PIPELINE_STAGE_ALL_COMMANDS_BIT,
               VK_ACCESS_TRANSFER_READ_BIT, VK_ACCESS_SHADER_READ_BIT, 3);
    VkMemoryBarrier toHost{VK_STRUCTURE_TYPE_MEMORY_BARRIER};
    toHost.srcAccessMask = VK_ACCESS_TRANSFER_WRITE_BIT;
    toHost.dstAccessMask = VK_ACCESS_HOST_READ_BIT;
    vkCmdPipelineBarrier(cmd, VK_PIPELINE_STAGE_TRANSFER_BIT, VK_PIPELINE_STAGE_HOST_BIT, 0, 1,
                         &toHost, 0, nullptr, 0, nullptr);
  });
  allocator_->invalidate(allocation);
  const auto* values = static_cast<const float*>(allocation.mapped);
  for (size_t r = 0; r < slots.size(); ++r) depths[slots[r]] = values[r];
  allocator_->destroyBuffer(buffer, allocation);
  return depths;
}
