// One frame: pacing (fences, acquisition, submission, presentation), the recorded passes
// (frame data upload, shadow cascades, scene pass, post-processing, final pass into the
// swapchain image) and screenshots, which copy the final image back into a host-visible
// buffer. The shadow pass lives in vulkan_shadows.cpp, the post chain in vulkan_post.cpp.
//
// Sections: frame data, drawFrame, recordFrame, scene pass, post passes, captureFrame.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "render/scene_math.h"
#include "render/vk_check.h"
#include "render/vulkan_renderer.h"

namespace {

// Uniform buffer of the frame (416 bytes, std140-compatible).
struct FrameData {
  glm::mat4 cascades[3];
  glm::vec4 splits;        // split 1, split 2, far, far
  glm::vec4 sun;           // direction, shadow factor
  glm::vec4 camera;        // position, seconds since start
  glm::vec4 forward;       // direction, 0
  glm::vec4 target;        // width, height, 1 / width, 1 / height
  glm::vec4 shadowParams;  // bias, 0, cascade count, texel size
  glm::mat4 inverseViewProjection;
  glm::mat4 viewProjection;
};
static_assert(sizeof(FrameData) == 416, "the block shaders read 416 bytes of frame data");

struct VisualData {
  float fogStart, exposure, saturation, ambient, water, zero[3];
};
static_assert(sizeof(VisualData) == 32, "the block shaders read 32 bytes of visual data");

// Scene push constants (128 bytes).
struct ScenePush {
  glm::mat4 matrix;
  glm::vec4 camera;    // position, daylight
  glm::vec4 position;  // entity position (0 for chunks), time for chunks in w
  glm::vec4 params;    // yaw, flash, reserved, scale
  glm::vec4 sky;       // sky colour, fog end
};
static_assert(sizeof(ScenePush) == 128, "the scene push range is 128 bytes");

double millisecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

}  // namespace

// --- drawFrame ---

void VulkanRenderer::drawFrame(const glm::mat4& viewProjection, glm::vec3 cameraPosition,
                               const std::vector<EntityInstance>& entities,
                               const std::vector<EntityInstance>& particles) {
  if (!initialized_ || swapchain_ == VK_NULL_HANDLE) return;
  const auto start = std::chrono::steady_clock::now();
  FrameSlot& frame = frames_[currentFrame_];
  FrameSlot& previousFrame = frames_[currentFrame_ ^ 1u];
  VK_CHECK(vkWaitForFences(device_, 1, &frame.fence, VK_TRUE, UINT64_MAX));
  VK_CHECK(vkWaitForFences(device_, 1, &previousFrame.fence, VK_TRUE, UINT64_MAX));
  // Nothing on the GPU can use a retired mesh any more.
  destroyRetired();
  readPassTimings();

  uint32_t imageIndex = 0;
  const VkResult acquired = vkAcquireNextImageKHR(
      device_, swapchain_, UINT64_MAX, frame.imageAvailable, VK_NULL_HANDLE, &imageIndex);
  if (acquired == VK_ERROR_OUT_OF_DATE_KHR) {
    recreateSwapchain();
    return;
  }
  if (acquired != VK_SUCCESS && acquired != VK_SUBOPTIMAL_KHR) {
    vulkanFailure("acquire", acquired, __LINE__);
  }
  timing_.wait = millisecondsSince(start);

  const auto recordStart = std::chrono::steady_clock::now();
  VK_CHECK(vkResetFences(device_, 1, &frame.fence));
  VK_CHECK(vkResetCommandBuffer(frame.commandBuffer, 0));
  VkCommandBufferBeginInfo beginInfo{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
  beginInfo.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
  VK_CHECK(vkBeginCommandBuffer(frame.commandBuffer, &beginInfo));
  recordFrame(frame.commandBuffer, imageIndex, viewProjection, cameraPosition, entities, particles);
  writeTimestamp(frame.commandBuffer, kFrameEnd);
  VK_CHECK(vkEndCommandBuffer(frame.commandBuffer));
  timing_.record = millisecondsSince(recordStart);

  const auto submitStart = std::chrono::steady_clock::now();
  const VkPipelineStageFlags waitStage = VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT;
  VkSubmitInfo submitInfo{VK_STRUCTURE_TYPE_SUBMIT_INFO};
  submitInfo.waitSemaphoreCount = 1;
  submitInfo.pWaitSemaphores = &frame.imageAvailable;
  submitInfo.pWaitDstStageMask = &waitStage;
  submitInfo.commandBufferCount = 1;
  submitInfo.pCommandBuffers = &frame.commandBuffer;
  submitInfo.signalSemaphoreCount = 1;
  submitInfo.pSignalSemaphores = &frame.renderFinished;
  VK_CHECK(vkQueueSubmit(graphicsQueue_, 1, &submitInfo, frame.fence));

  VkPresentInfoKHR presentInfo{VK_STRUCTURE_TYPE_PRESENT_INFO_KHR};
  presentInfo.waitSemaphoreCount = 1;
  presentInfo.pWaitSemaphores = &frame.renderFinished;
  presentInfo.swapchainCount = 1;
  presentInfo.pSwapchains = &swapchain_;
  presentInfo.pImageIndices = &imageIndex;
  const VkResult presented = vkQueuePresentKHR(presentQueue_, &presentInfo);
  currentFrame_ ^= 1u;
  if (presented == VK_ERROR_OUT_OF_DATE_KHR || presented == VK_SUBOPTIMAL_KHR) recreateSwapchain();
  if (captureRecorded_) vkDeviceWaitIdle(device_);
  timing_.submit = millisecondsSince(submitStart);
}

// --- recordFrame ---

void VulkanRenderer::recordFrame(VkCommandBuffer cmd, uint32_t imageIndex,
                                 const glm::mat4& viewProjection, glm::vec3 cameraPosition,
                                 const std::vector<EntityInstance>& entities,
                                 const std::vector<EntityInstance>& particles) {
  // 1. Frame data.
  indirect_[currentFrame_].used = 0;
  chunkDrawCalls_ = 0;
  const auto shadowStart = std::chrono::steady_clock::now();
  const float seconds = static_cast<float>(millisecondsSince(startTime_) / 1000.0);
  const float width = static_cast<float>(extent_.width),
              height = static_cast<float>(extent_.height);
  const float shadowFactor =
      shadowsOn_ ? std::clamp(1.2f * daylight_, 0.0f, 1.0f) * visual_.shadowStrength : 0.0f;
  std::array<float, 3> keptRadii{};
  for (int c = 0; c < 3; ++c) {
    if (shadowCache_.maps[c].valid) keptRadii[c] = shadowCache_.maps[c].radius;
  }
  const CascadeSet cascades = computeCascades(
      viewProjection, sunDirection_, shadowFarDistance(visual_.shadowDistance, fogEnd_), keptRadii);
  // 2a. Which cascades this frame redraws; the lookups use each map's own matrix.
  shadowPassRan_ = shadowFactor > 0.001f;
  const std::array<glm::mat4, 3> lookup =
      planShadowPass(shadowPassRan_, cascades, viewProjection, cameraPosition, entities);
  timing_.recordShadows = millisecondsSince(shadowStart);
  FrameData data{};
  for (int c = 0; c < 3; ++c) data.cascades[c] = lookup[c];
  data.splits = cascades.splits;
  data.sun = glm::vec4(sunDirection_, shadowFactor);
  data.camera = glm::vec4(cameraPosition, seconds);
  data.forward = glm::vec4(cameraForward(viewProjection, cameraPosition), 0.0f);
  data.target = {width, height, 1.0f / width, 1.0f / height};
  data.shadowParams = {0.0015f, 0.0f, 3.0f, 1.0f / 2048.0f};
  data.inverseViewProjection = glm::inverse(viewProjection);
  data.viewProjection = viewProjection;
  const VisualData visual{fogStart(visual_.fogStart, fogEnd_),
                          visual_.exposure,
                          visual_.saturation,
                          visual_.ambient,
                          visual_.water,
                          {0, 0, 0}};
  vkCmdUpdateBuffer(cmd, visualBuffer_, 0, sizeof visual, &visual);
  vkCmdUpdateBuffer(cmd, frameBuffer_, 0, sizeof data, &data);
  VkMemoryBarrier uniforms{VK_STRUCTURE_TYPE_MEMORY_BARRIER};
  uniforms.srcAccessMask = VK_ACCESS_TRANSFER_WRITE_BIT;
  uniforms.dstAccessMask = VK_ACCESS_UNIFORM_READ_BIT | VK_ACCESS_SHADER_READ_BIT;
  vkCmdPipelineBarrier(cmd, VK_PIPELINE_STAGE_TRANSFER_BIT,
                       VK_PIPELINE_STAGE_VERTEX_SHADER_BIT | VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
                       0, 1, &uniforms, 0, nullptr, 0, nullptr);
  writeTimestamp(cmd, kFrameStart);

  // 2. Shadow cascades, unless nothing would show them (night, switched off, strength 0).
  const auto passStart = std::chrono::steady_clock::now();
  if (shadowPassRan_) recordShadowPass(cmd, viewProjection, cameraPosition, entities);
  timing_.recordShadows += millisecondsSince(passStart);
  writeTimestamp(cmd, kShadowsDone);

  // 3. Scene pass.
  const auto sceneStart = std::chrono::steady_clock::now();
  recordScenePass(cmd, viewProjection, cameraPosition, entities, particles);
  timing_.recordScene = millisecondsSince(sceneStart);
  writeTimestamp(cmd, kSceneDone);

  // 4-8. Occlusion, bloom, exposure and the composite into the display-format target.
  recordPostEffects(cmd);
  std::array<float, 16> push{};

  // 9. Final pass into the swapchain image, with the UI on top.
  prepareUi(cmd);
  const VkImage image = swapchainImages_[imageIndex];
  VkImageLayout& layout = swapchainLayouts_[imageIndex];
  transition(cmd, image, layout, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
             VK_IMAGE_ASPECT_COLOR_BIT, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
             VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, 0,
             VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT);
  VkRenderingAttachmentInfo colour{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
  colour.imageView = swapchainViews_[imageIndex];
  colour.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
  colour.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
  colour.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
  colour.clearValue.color = {{0.0f, 0.0f, 0.0f, 1.0f}};
  VkRenderingInfo rendering{VK_STRUCTURE_TYPE_RENDERING_INFO};
  rendering.renderArea = {{0, 0}, extent_};
  rendering.layerCount = 1;
  rendering.colorAttachmentCount = 1;
  rendering.pColorAttachments = &colour;
  cmdBeginRendering_(cmd, &rendering);
  const VkViewport viewport{0, 0, width, height, 0, 1};
  const VkRect2D scissor{{0, 0}, extent_};
  vkCmdSetViewport(cmd, 0, 1, &viewport);
  vkCmdSetScissor(cmd, 0, 1, &scissor);
  vkCmdBindPipeline(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, pipelineFinal_);
  vkCmdBindDescriptorSets(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, postPipelineLayout_, 0, 1,
                          &postSet_, 0, nullptr);
  push = {};
  push[0] = 1.0f / width;
  push[1] = 1.0f / height;
  push[2] = postProcessingOn_ ? visual_.fxaa : 0.0f;
  vkCmdPushConstants(cmd, postPipelineLayout_,
                     VK_SHADER_STAGE_VERTEX_BIT | VK_SHADER_STAGE_FRAGMENT_BIT, 0, 64, push.data());
  vkCmdDraw(cmd, 3, 1, 0, 0);
  if (uiViews_.empty()) {
    recordUi(cmd);
  } else if (uiPrepared_) {
    // The UI goes on through the plain view of the same image, after the final pass.
    cmdEndRendering_(cmd);
    VkMemoryBarrier written{VK_STRUCTURE_TYPE_MEMORY_BARRIER};
    written.srcAccessMask = VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT;
    written.dstAccessMask =
        VK_ACCESS_COLOR_ATTACHMENT_READ_BIT | VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT;
    vkCmdPipelineBarrier(cmd, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
                         VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, 0, 1, &written, 0, nullptr,
                         0, nullptr);
    colour.imageView = uiViews_[imageIndex];
    colour.loadOp = VK_ATTACHMENT_LOAD_OP_LOAD;
    cmdBeginRendering_(cmd, &rendering);
    recordUi(cmd);
  }
  cmdEndRendering_(cmd);

  // 10. Screenshot copy, then hand the image to presentation.
  const bool capture = captureBuffer_ != VK_NULL_HANDLE && captureExtent_.width == extent_.width &&
                       captureExtent_.height == extent_.height;
  if (capture) {
    transition(cmd, image, layout, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, VK_IMAGE_ASPECT_COLOR_BIT,
               VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, VK_PIPELINE_STAGE_TRANSFER_BIT,
               VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT, VK_ACCESS_TRANSFER_READ_BIT);
    VkBufferImageCopy region{};
    region.imageSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
    region.imageExtent = {extent_.width, extent_.height, 1};
    vkCmdCopyImageToBuffer(cmd, image, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, captureBuffer_, 1,
                           &region);
    VkMemoryBarrier toHost{VK_STRUCTURE_TYPE_MEMORY_BARRIER};
    toHost.srcAccessMask = VK_ACCESS_TRANSFER_WRITE_BIT;
    toHost.dstAccessMask = VK_ACCESS_HOST_READ_BIT;
    vkCmdPipelineBarrier(cmd, VK_PIPELINE_STAGE_TRANSFER_BIT, VK_PIPELINE_STAGE_HOST_BIT, 0, 1,
                         &toHost, 0, nullptr, 0, nullptr);
    transition(cmd, image, layout, VK_IMAGE_LAYOUT_PRESENT_SRC_KHR, VK_IMAGE_ASPECT_COLOR_BIT,
               VK_PIPELINE_STAGE_TRANSFER_BIT, VK_PIPELINE_STAGE_BOTTOM_OF_PIPE_BIT,
               VK_ACCESS_TRANSFER_READ_BIT, 0);
    captureRecorded_ = true;
  } else {
    transition(cmd, image, layout, VK_IMAGE_LAYOUT_PRESENT_SRC_KHR, VK_IMAGE_ASPECT_COLOR_BIT,
               VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, VK_PIPELINE_STAGE_BOTTOM_OF_PIPE_BIT,
               VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT, 0);
  }
}

// --- scene pass ---

void VulkanRenderer::drawMesh(VkCommandBuffer cmd, const GpuMesh& mesh) {
  const VkDeviceSize offset = 0;
  vkCmdBindVertexBuffers(cmd, 0, 1, &mesh.buffer, &offset);
  vkCmdBindIndexBuffer(cmd, mesh.buffer, mesh.indexOffset, VK_INDEX_TYPE_UINT32);
  vkCmdDrawIndexed(cmd, mesh.indexCount, 1, 0, 0, 0);
}

void VulkanRenderer::drawChunkMeshes(VkCommandBuffer cmd,
                                     const std::vector<const GpuMesh*>& meshes) {
  IndirectBuffer& indirect = indirect_[currentFrame_];
  auto* commands = static_cast<VkDrawIndexedIndirectCommand*>(indirect.allocation.mapped);
  size_t i = 0;
  while (i < meshes.size()) {
    const GpuMesh& first = *meshes[i];
    if (first.arena < 0 || indirect.used >= indirect.capacity) {
      drawMesh(cmd, first);
      ++chunkDrawCalls_;
      ++i;
      continue;
    }
    // The run of meshes in the same shared buffer, as far as the commands reach.
    const uint32_t begin = indirect.used;
    while (i < meshes.size() && meshes[i]->arena == first.arena &&
           indirect.used < indirect.capacity) {
      const GpuMesh& mesh = *meshes[i++];
      commands[indirect.used++] = {mesh.indexCount, 1, mesh.firstIndex, mesh.vertexOffset, 0};
    }
    const VkDeviceSize offset = 0;
    vkCmdBindVertexBuffers(cmd, 0, 1, &first.buffer, &offset);
    vkCmdBindIndexBuffer(cmd, first.buffer, 0, VK_INDEX_TYPE_UINT32);
    const uint32_t stride = sizeof(VkDrawIndexedIndirectCommand);
    for (uint32_t at = begin; at < indirect.used;) {
      const uint32_t count = std::min(indirect.used - at, maxDrawIndirectCount_);
      vkCmdDrawIndexedIndirect(cmd, indirect.buffer, VkDeviceSize{at} * stride, count, stride);
      ++chunkDrawCalls_;
      at += count;
    }
  }
}

void VulkanRenderer::recordScenePass(VkCommandBuffer cmd, const glm::mat4& viewProjection,
                                     glm::vec3 cameraPosition,
                                     const std::vector<EntityInstance>& entities,
                                     const std::vector<EntityInstance>& particles) {
  const VkPipelineStageFlags depthStages =
      VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_LATE_FRAGMENT_TESTS_BIT;
  transition(cmd, sceneColorTarget_.image, sceneColorTarget_.layout,
             VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_IMAGE_ASPECT_COLOR_BIT,
             VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
             VK_ACCESS_SHADER_READ_BIT, VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT);
  transition(
      cmd, depthTarget_.image, depthTarget_.layout,
      VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL, VK_IMAGE_ASPECT_DEPTH_BIT,
      VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, depthStages, VK_ACCESS_SHADER_READ_BIT,
      VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_READ_BIT | VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT);

  const glm::vec3 sky = skyColour(daylight_);
  VkRenderingAttachmentInfo colour{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
  colour.imageView = sceneColorTarget_.view;
  colour.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
  colour.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
  colour.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
  colour.clearValue.color = {{sky.r, sky.g, sky.b, 1.0f}};
  VkRenderingAttachmentInfo depth{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
  depth.imageView = depthTarget_.view;
  depth.imageLayout = VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL;
  depth.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
  depth.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
  depth.clearValue.depthStencil = {1.0f, 0};
  VkRenderingInfo rendering{VK_STRUCTURE_TYPE_RENDERING_INFO};
  rendering.renderArea = {{0, 0}, extent_};
  rendering.layerCount = 1;
  rendering.colorAttachmentCount = 1;
  rendering.pColorAttachments = &colour;
  rendering.pDepthAttachment = &depth;
  cmdBeginRendering_(cmd, &rendering);
  const VkViewport viewport{
      0, 0, static_cast<float>(extent_.width), static_cast<float>(extent_.height), 0, 1};
  const VkRect2D scissor{{0, 0}, extent_};
  vkCmdSetViewport(cmd, 0, 1, &viewport);
  vkCmdSetScissor(cmd, 0, 1, &scissor);

  const float seconds = static_cast<float>(millisecondsSince(startTime_) / 1000.0);
  ScenePush push{viewProjection, glm::vec4(cameraPosition, daylight_), glm::vec4(0, 0, 0, seconds),
                 glm::vec4(0, 0, 0, 1), glm::vec4(sky, fogEnd_)};
  const VkShaderStageFlags stages = VK_SHADER_STAGE_VERTEX_BIT | VK_SHADER_STAGE_FRAGMENT_BIT;
  const auto planes = frustumPlanes(viewProjection);
  const auto visible = [&](const GpuMesh& mesh) {
    return !outsideFrustum(planes, Box{{mesh.box[0], mesh.box[1], mesh.box[2]},
                                       {mesh.box[3], mesh.box[4], mesh.box[5]}});
  };

  vkCmdBindPipeline(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, pipelineOpaque_);
  vkCmdBindDescriptorSets(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, pipelineLayout_, 0, 1,
                          &descriptorSet_, 0, nullptr);
  vkCmdPushConstants(cmd, pipelineLayout_, stages, 0, sizeof push, &push);
  // Opaque chunks nearest first, so that the depth test rejects most hidden texels before
  // they are shaded.
  std::vector<std::pair<float, const GpuMesh*>>& opaque = opaqueOrder_;
  opaque.clear();
  for (const auto& entry : opaqueMeshes_) {
    const GpuMesh& mesh = entry.second;
    if (!visible(mesh)) continue;
    const glm::vec3 centre((mesh.box[0] + mesh.box[3]) / 2, (mesh.box[1] + mesh.box[4]) / 2,
                           (mesh.box[2] + mesh.box[5]) / 2);
    const glm::vec3 d = centre - cameraPosition;
    opaque.emplace_back(glm::dot(d, d), &mesh);
  }
  std::sort(opaque.begin(), opaque.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  drawList_.clear();
  for (const auto& [distance, mesh] : opaque) drawList_.push_back(mesh);
  // One run per shared buffer, each still nearest first.
  std::stable_sort(drawList_.begin(), drawList_.end(),
                   [](const GpuMesh* a, const GpuMesh* b) { return a->arena < b->arena; });
  drawChunkMeshes(cmd, drawList_);
  const int drawn = static_cast<int>(opaque.size());

  // Entities and particles: one push per draw with position, yaw, flash and scale.
  const auto pushInstance = [&](const EntityInstance& instance) {
    ScenePush entity = push;
    entity.position = glm::vec4(instance.x, instance.y, instance.z, 0);
    entity.params = glm::vec4(instance.yaw, instance.flash, instance.reserved, instance.scale);
    vkCmdPushConstants(cmd, pipelineLayout_, stages, 0, sizeof entity, &entity);
  };
  if (!models_.empty()) {
    for (const EntityInstance& instance : entities) {
      const GpuMesh& model = models_[instance.model % models_.size()];
      if (model.buffer == VK_NULL_HANDLE) continue;
      pushInstance(instance);
      drawMesh(cmd, model);
    }
  }
  if (particleMesh_.buffer != VK_NULL_HANDLE && !particles.empty()) {
    const VkDeviceSize offset = 0;
    vkCmdBindVertexBuffers(cmd, 0, 1, &particleMesh_.buffer, &offset);
    vkCmdBindIndexBuffer(cmd, particleMesh_.buffer, particleMesh_.indexOffset,
                         VK_INDEX_TYPE_UINT32);
    for (const EntityInstance& particle : particles) {
      pushInstance(particle);
      vkCmdDrawIndexed(cmd, particleMesh_.indexCount, 1, 0, 0, 0);
    }
  }

  // Translucent chunks, farthest first, over everything opaque.
  std::vector<std::pair<float, const GpuMesh*>> translucent;
  for (const auto& entry : translucentMeshes_) {
    const GpuMesh& mesh = entry.second;
    if (!visible(mesh)) continue;
    const glm::vec3 centre((mesh.box[0] + mesh.box[3]) / 2, (mesh.box[1] + mesh.box[4]) / 2,
                           (mesh.box[2] + mesh.box[5]) / 2);
    const glm::vec3 d = centre - cameraPosition;
    translucent.emplace_back(glm::dot(d, d), &mesh);
  }
  std::sort(translucent.begin(), translucent.end(),
            [](const auto& a, const auto& b) { return a.first > b.first; });
  if (!translucent.empty()) {
    vkCmdBindPipeline(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, pipelineTranslucent_);
    vkCmdPushConstants(cmd, pipelineLayout_, stages, 0, sizeof push, &push);
    drawList_.clear();
    for (const auto& [distance, mesh] : translucent) drawList_.push_back(mesh);
    drawChunkMeshes(cmd, drawList_);
  }
  drawnChunks_ = drawn + static_cast<int>(translucent.size());
  cmdEndRendering_(cmd);

  transition(cmd, sceneColorTarget_.image, sceneColorTarget_.layout,
             VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, VK_IMAGE_ASPECT_COLOR_BIT,
             VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
             VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT);
  transition(cmd, depthTarget_.image, depthTarget_.layout, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL,
             VK_IMAGE_ASPECT_DEPTH_BIT, depthStages, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
             VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT);
}

// --- post passes ---

void VulkanRenderer::recordPostPass(VkCommandBuffer cmd, RenderTarget& target, VkPipeline pipeline,
                                    const std::array<float, 16>& push, bool load) {
  transition(cmd, target.image, target.layout, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
             VK_IMAGE_ASPECT_COLOR_BIT, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
             VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT, VK_ACCESS_SHADER_READ_BIT,
             VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT);
  VkRenderingAttachmentInfo colour{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
  colour.imageView = target.view;
  colour.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
  colour.loadOp = load ? VK_ATTACHMENT_LOAD_OP_LOAD : VK_ATTACHMENT_LOAD_OP_CLEAR;
  colour.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
  colour.clearValue.color = {{0.0f, 0.0f, 0.0f, 1.0f}};
  VkRenderingInfo rendering{VK_STRUCTURE_TYPE_RENDERING_INFO};
  rendering.renderArea = {{0, 0}, {target.width, target.height}};
  rendering.layerCount = 1;
  rendering.colorAttachmentCount = 1;
  rendering.pColorAttachments = &colour;
  cmdBeginRendering_(cmd, &rendering);
  const VkViewport viewport{
      0, 0, static_cast<float>(target.width), static_cast<float>(target.height), 0, 1};
  const VkRect2D scissor{{0, 0}, {target.width, target.height}};
  vkCmdSetViewport(cmd, 0, 1, &viewport);
  vkCmdSetScissor(cmd, 0, 1, &scissor);
  vkCmdBindPipeline(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, pipeline);
  vkCmdBindDescriptorSets(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, postPipelineLayout_, 0, 1,
                          &postSet_, 0, nullptr);
  vkCmdPushConstants(cmd, postPipelineLayout_,
                     VK_SHADER_STAGE_VERTEX_BIT | VK_SHADER_STAGE_FRAGMENT_BIT, 0, 64, push.data());
  vkCmdDraw(cmd, 3, 1, 0, 0);
  cmdEndRendering_(cmd);
  transition(cmd, target.image, target.layout, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL,
             VK_IMAGE_ASPECT_COLOR_BIT, VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT,
             VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, VK_ACCESS_COLOR_ATTACHMENT_WRITE_BIT,
             VK_ACCESS_SHADER_READ_BIT);
}

// --- captureFrame ---

bool VulkanRenderer::captureFrame(const glm::mat4& viewProjection, glm::vec3 cameraPosition,
                                  const std::vector<EntityInstance>& entities,
                                  const std::vector<EntityInstance>& particles,
                                  const std::string& path, const CaptureInfo& info) {
  if (device_ == VK_NULL_HANDLE || swapchain_ == VK_NULL_HANDLE) return false;
  captureExtent_ = extent_;
  VkBufferCreateInfo bufferInfo{VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
  bufferInfo.size = VkDeviceSize{extent_.width} * extent_.height * 4;
  bufferInfo.usage = VK_BUFFER_USAGE_TRANSFER_DST_BIT;
  if (allocator_->createBuffer(bufferInfo, MemoryUse::HostRead, &captureBuffer_,
                               &captureAllocation_) != VK_SUCCESS) {
    captureBuffer_ = VK_NULL_HANDLE;
    return false;
  }
  std::memset(captureAllocation_.mapped, 0, bufferInfo.size);
  captureRecorded_ = false;
  const auto release = [&] {
    vkDeviceWaitIdle(device_);
    allocator_->destroyBuffer(captureBuffer_, captureAllocation_);
    captureBuffer_ = VK_NULL_HANDLE;
    captureRecorded_ = false;
  };
  try {
    drawFrame(viewProjection, cameraPosition, entities, particles);
  } catch (...) {
    release();
    throw;
  }
  allocator_->invalidate(captureAllocation_);
  const bool bgra =
      swapchainFormat_ == VK_FORMAT_B8G8R8A8_SRGB || swapchainFormat_ == VK_FORMAT_B8G8R8A8_UNORM;
  const std::filesystem::path parent = std::filesystem::path(path).parent_path();
  std::error_code error;
  if (!parent.empty()) std::filesystem::create_directories(parent, error);
  const bool written = writePng(path, captureExtent_.width, captureExtent_.height,
                                static_cast<const uint8_t*>(captureAllocation_.mapped), bgra, info);
  release();
  return written;
}
