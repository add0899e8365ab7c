// The user interface on the GPU: ImGui's draw lists recorded after the final pass with
// our own pipeline. Their colours and alphas are meant for blending stored (sRGB-encoded)
// values, so the UI draws through a plain 8-bit view of the swapchain image when the
// device offers one; on an sRGB-only target it blends in linear light instead, which
// lets more of what lies under a translucent colour show through. The font atlas is uploaded inside
// the frame's command buffer whenever the UI rebuilt it (its texture id is null then); the previous
// atlas and its staging buffer are freed at the next frame, when both frame fences have been
// waited. Texture ids are descriptor sets: the font's, or one per block texture layer.
//
// Sections: set-up and tear-down, font upload, per-frame geometry, recording, queries.

#include <imgui.h>

#include <GLFW/glfw3.h>

#include <algorithm>
#include <cstring>

#include "render/vk_check.h"
#include "render/vulkan_renderer.h"

namespace {

struct UiPush {
  float scale[2];
  float translate[2];
  float srgbTarget;
};

bool isSrgb(VkFormat format) {
  return format == VK_FORMAT_B8G8R8A8_SRGB || format == VK_FORMAT_R8G8B8A8_SRGB;
}

}  // namespace

// --- set-up and tear-down ---

void VulkanRenderer::createUi() {
  const VkDescriptorSetLayoutBinding binding{0, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, 1,
                                             VK_SHADER_STAGE_FRAGMENT_BIT, nullptr};
  VkDescriptorSetLayoutCreateInfo layoutInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_LAYOUT_CREATE_INFO};
  layoutInfo.bindingCount = 1;
  layoutInfo.pBindings = &binding;
  VK_CHECK(vkCreateDescriptorSetLayout(device_, &layoutInfo, nullptr, &uiSetLayout_));

  // One set per layer, and two for the font so a rebuilt atlas can replace the old one.
  const uint32_t sets = static_cast<uint32_t>(textureLayerViews_.size()) + 2;
  const VkDescriptorPoolSize poolSize{VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, sets};
  VkDescriptorPoolCreateInfo poolInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_POOL_CREATE_INFO};
  poolInfo.flags = VK_DESCRIPTOR_POOL_CREATE_FREE_DESCRIPTOR_SET_BIT;
  poolInfo.maxSets = sets;
  poolInfo.poolSizeCount = 1;
  poolInfo.pPoolSizes = &poolSize;
  VK_CHECK(vkCreateDescriptorPool(device_, &poolInfo, nullptr, &uiPool_));

  const VkPushConstantRange range{VK_SHADER_STAGE_VERTEX_BIT, 0, sizeof(UiPush)};
  VkPipelineLayoutCreateInfo pipelineLayout{VK_STRUCTURE_TYPE_PIPELINE_LAYOUT_CREATE_INFO};
  pipelineLayout.setLayoutCount = 1;
  pipelineLayout.pSetLayouts = &uiSetLayout_;
  pipelineLayout.pushConstantRangeCount = 1;
  pipelineLayout.pPushConstantRanges = &range;
  VK_CHECK(vkCreatePipelineLayout(device_, &pipelineLayout, nullptr, &uiPipelineLayout_));

  VkSamplerCreateInfo samplerInfo{VK_STRUCTURE_TYPE_SAMPLER_CREATE_INFO};
  samplerInfo.magFilter = VK_FILTER_LINEAR;
  samplerInfo.minFilter = VK_FILTER_LINEAR;
  samplerInfo.mipmapMode = VK_SAMPLER_MIPMAP_MODE_NEAREST;
  samplerInfo.addressModeU = VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
  samplerInfo.addressModeV = VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
  samplerInfo.addressModeW = VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
  VK_CHECK(vkCreateSampler(device_, &samplerInfo, nullptr, &uiFontSampler_));

  uiLayerSets_.assign(textureLayerViews_.size(), VK_NULL_HANDLE);
  for (size_t layer = 0; layer < textureLayerViews_.size(); ++layer) {
    VkDescriptorSetAllocateInfo allocateInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_ALLOCATE_INFO};
    allocateInfo.descriptorPool = uiPool_;
    allocateInfo.descriptorSetCount = 1;
    allocateInfo.pSetLayouts = &uiSetLayout_;
    VK_CHECK(vkAllocateDescriptorSets(device_, &allocateInfo, &uiLayerSets_[layer]));
    const VkDescriptorImageInfo image{sampler_, textureLayerViews_[layer],
                                      VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL};
    VkWriteDescriptorSet write{VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET};
    write.dstSet = uiLayerSets_[layer];
    write.descriptorCount = 1;
    write.descriptorType = VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER;
    write.pImageInfo = &image;
    vkUpdateDescriptorSets(device_, 1, &write, 0, nullptr);
  }

  const VkShaderModule vertex = loadShader("ui_vs.spv");
  const VkShaderModule fragment = loadShader("ui_fs.spv");
  const auto release = [&] {
    if (vertex) vkDestroyShaderModule(device_, vertex, nullptr);
    if (fragment) vkDestroyShaderModule(device_, fragment, nullptr);
  };
  if (!vertex || !fragment) {
    release();
    throw std::runtime_error("missing UI shaders");
  }
  try {
    uiPipeline_ = createPipeline(uiPipelineLayout_, vertex, "UiVS", fragment, "UiPS", false,
                                 uiFormat_, false, false, true, false, false, true);
  } catch (...) {
    release();
    throw;
  }
  release();
}

void VulkanRenderer::destroyUi() {
  for (UiBuffer& buffer : uiBuffers_) {
    if (buffer.buffer) allocator_->destroyBuffer(buffer.buffer, buffer.allocation);
    buffer = UiBuffer{};
  }
  if (uiStaging_) allocator_->destroyBuffer(uiStaging_, uiStagingAllocation_);
  uiStaging_ = VK_NULL_HANDLE;
  if (uiFontView_) vkDestroyImageView(device_, uiFontView_, nullptr);
  if (uiFontImage_) allocator_->destroyImage(uiFontImage_, uiFontAllocation_);
  uiFontView_ = VK_NULL_HANDLE;
  uiFontImage_ = VK_NULL_HANDLE;
  if (uiPipeline_) vkDestroyPipeline(device_, uiPipeline_, nullptr);
  if (uiPipelineLayout_) vkDestroyPipelineLayout(device_, uiPipelineLayout_, nullptr);
  if (uiPool_) vkDestroyDescriptorPool(device_, uiPool_, nullptr);
  if (uiSetLayout_) vkDestroyDescriptorSetLayout(device_, uiSetLayout_, nullptr);
  if (uiFontSampler_) vkDestroySampler(device_, uiFontSampler_, nullptr);
  uiPipeline_ = VK_NULL_HANDLE;
  uiPipelineLayout_ = VK_NULL_HANDLE;
  uiPool_ = VK_NULL_HANDLE;
  uiSetLayout_ = VK_NULL_HANDLE;
  uiFontSampler_ = VK_NULL_HANDLE;
  uiFontSet_ = VK_NULL_HANDLE;
  uiLayerSets_.clear();
  // The UI may outlive us: make it upload its atlas again to whoever draws it next.
  if (ImGui::GetCurrentContext() != nullptr) ImGui::GetIO().Fonts->SetTexID(nullptr);
}

// --- font upload ---

void VulkanRenderer::uploadUiFont(VkCommandBuffer cmd) {
  ImFontAtlas& atlas = *ImGui::GetIO().Fonts;
  unsigned char* pixels = nullptr;
  int width = 0, height = 0;
  atlas.GetTexDataAsRGBA32(&pixels, &width, &height);
  if (pixels == nullptr || width < 1 || height < 1) return;
  // Both frame fences were waited: nothing on the GPU uses the old atlas any more.
  if (uiFontView_) vkDestroyImageView(device_, uiFontView_, nullptr);
  if (uiFontImage_) allocator_->destroyImage(uiFontImage_, uiFontAllocation_);
  if (uiFontSet_) vkFreeDescriptorSets(device_, uiPool_, 1, &uiFontSet_);
  uiFontView_ = VK_NULL_HANDLE;
  uiFontImage_ = VK_NULL_HANDLE;
  uiFontSet_ = VK_NULL_HANDLE;

  const VkDeviceSize bytes = static_cast<VkDeviceSize>(width) * height * 4;
  VkBufferCreateInfo bufferInfo{VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
  bufferInfo.size = bytes;
  bufferInfo.usage = VK_BUFFER_USAGE_TRANSFER_SRC_BIT;
  VK_CHECK(allocator_->createBuffer(bufferInfo, MemoryUse::HostWrite, &uiStaging_,
                                    &uiStagingAllocation_));
  std::memcpy(uiStagingAllocation_.mapped, pixels, bytes);
  VK_CHECK(allocator_->flush(uiStagingAllocation_, 0, VK_WHOLE_SIZE));

  VkImageCreateInfo imageInfo{VK_STRUCTURE_TYPE_IMAGE_CREATE_INFO};
  imageInfo.imageType = VK_IMAGE_TYPE_2D;
  imageInfo.format = VK_FORMAT_R8G8B8A8_UNORM;
  imageInfo.extent = {static_cast<uint32_t>(width), static_cast<uint32_t>(height), 1};
  imageInfo.mipLevels = 1;
  imageInfo.arrayLayers = 1;
  imageInfo.samples = VK_SAMPLE_COUNT_1_BIT;
  imageInfo.tiling = VK_IMAGE_TILING_OPTIMAL;
  imageInfo.usage = VK_IMAGE_USAGE_TRANSFER_DST_BIT | VK_IMAGE_USAGE_SAMPLED_BIT;
  imageInfo.initialLayout = VK_IMAGE_LAYOUT_UNDEFINED;
  VK_CHECK(allocator_->createImage(imageInfo, &uiFontImage_, &uiFontAllocation_));
  VkImageViewCreateInfo viewInfo{VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO};
  viewInfo.image = uiFontImage_;
  viewInfo.viewType = VK_IMAGE_VIEW_TYPE_2D;
  viewInfo.format = VK_FORMAT_R8G8B8A8_UNORM;
  viewInfo.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
  VK_CHECK(vkCreateImageView(device_, &viewInfo, nullptr, &uiFontView_));

  VkImageLayout layout = VK_IMAGE_LAYOUT_UNDEFINED;
  transition(cmd, uiFontImage_, layout, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL,
             VK_IMAGE_ASPECT_COLOR_BIT, VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT,
             VK_PIPELINE_STAGE_TRANSFER_BIT, 0, VK_ACCESS_TRANSFER_WRITE_BIT);
  VkBufferImageCopy region{};
  region.imageSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
  region.imageExtent = imageInfo.extent;
  vkCmdCopyBufferToImage(cmd, uiStaging_, uiFontImage_, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1,
                         &region);
  transition(cmd, uiFontImage_, layout, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL,
             VK_IMAGE_ASPECT_COLOR_BIT, VK_PIPELINE_STAGE_TRANSFER_BIT,
             VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, VK_ACCESS_TRANSFER_WRITE_BIT,
             VK_ACCESS_SHADER_READ_BIT);

  VkDescriptorSetAllocateInfo allocateInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_ALLOCATE_INFO};
  allocateInfo.descriptorPool = uiPool_;
  allocateInfo.descriptorSetCount = 1;
  allocateInfo.pSetLayouts = &uiSetLayout_;
  VK_CHECK(vkAllocateDescriptorSets(device_, &allocateInfo, &uiFontSet_));
  const VkDescriptorImageInfo image{uiFontSampler_, uiFontView_,
                                    VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL};
  VkWriteDescriptorSet write{VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET};
  write.dstSet = uiFontSet_;
  write.descriptorCount = 1;
  write.descriptorType = VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER;
  write.pImageInfo = &image;
  vkUpdateDescriptorSets(device_, 1, &write, 0, nullptr);
  atlas.SetTexID(reinterpret_cast<ImTextureID>(uiFontSet_));
}

// --- per-frame geometry ---

void VulkanRenderer::prepareUi(VkCommandBuffer cmd) {
  uiPrepared_ = false;
  if (uiStaging_) {
    allocator_->destroyBuffer(uiStaging_, uiStagingAllocation_);
    uiStaging_ = VK_NULL_HANDLE;
  }
  if (ImGui::GetCurrentContext() == nullptr || uiPipeline_ == VK_NULL_HANDLE) return;
  if (ImGui::GetIO().Fonts->TexID == nullptr) uploadUiFont(cmd);
  const ImDrawData* data = ImGui::GetDrawData();
  if (data == nullptr || !data->Valid || data->TotalVtxCount == 0 || uiFontSet_ == VK_NULL_HANDLE) {
    return;
  }
  const VkDeviceSize vertexBytes =
      static_cast<VkDeviceSize>(data->TotalVtxCount) * sizeof(ImDrawVert);
  const VkDeviceSize indexBytes =
      static_cast<VkDeviceSize>(data->TotalIdxCount) * sizeof(ImDrawIdx);
  uiIndexOffset_ = (vertexBytes + 3) & ~VkDeviceSize{3};
  const VkDeviceSize needed = uiIndexOffset_ + indexBytes;
  // This slot's previous frame has finished: its buffer can be replaced.
  UiBuffer& buffer = uiBuffers_[currentFrame_];
  if (buffer.size < needed) {
    if (buffer.buffer) allocator_->destroyBuffer(buffer.buffer, buffer.allocation);
    buffer = UiBuffer{};
    VkBufferCreateInfo info{VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
    info.size = std::max<VkDeviceSize>(needed + needed / 2, 256 * 1024);
    info.usage = VK_BUFFER_USAGE_VERTEX_BUFFER_BIT | VK_BUFFER_USAGE_INDEX_BUFFER_BIT;
    VK_CHECK(
        allocator_->createBuffer(info, MemoryUse::HostWrite, &buffer.buffer, &buffer.allocation));
    buffer.size = info.size;
  }
  auto* vertices = static_cast<unsigned char*>(buffer.allocation.mapped);
  unsigned char* indices = vertices + uiIndexOffset_;
  for (int n = 0; n < data->CmdListsCount; ++n) {
    const ImDrawList* list = data->CmdLists[n];
    const size_t vb = list->VtxBuffer.Size * sizeof(ImDrawVert);
    const size_t ib = list->IdxBuffer.Size * sizeof(ImDrawIdx);
    std::memcpy(vertices, list->VtxBuffer.Data, vb);
    std::memcpy(indices, list->IdxBuffer.Data, ib);
    vertices += vb;
    indices += ib;
  }
  VK_CHECK(allocator_->flush(buffer.allocation, 0, needed));
  uiPrepared_ = true;
}

// --- recording ---

void VulkanRenderer::recordUi(VkCommandBuffer cmd) {
  if (!uiPrepared_) return;
  const ImDrawData* data = ImGui::GetDrawData();
  const UiBuffer& buffer = uiBuffers_[currentFrame_];
  const float width = static_cast<float>(extent_.width),
              height = static_cast<float>(extent_.height);
  vkCmdBindPipeline(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, uiPipeline_);
  const VkDeviceSize zero = 0;
  vkCmdBindVertexBuffers(cmd, 0, 1, &buffer.buffer, &zero);
  vkCmdBindIndexBuffer(cmd, buffer.buffer, uiIndexOffset_,
                       sizeof(ImDrawIdx) == 2 ? VK_INDEX_TYPE_UINT16 : VK_INDEX_TYPE_UINT32);
  const VkViewport viewport{0, 0, width, height, 0, 1};
  vkCmdSetViewport(cmd, 0, 1, &viewport);
  // Display space maps onto the whole target, whatever size the UI thought it had.
  const ImVec2 display = data->DisplaySize;
  const ImVec2 origin = data->DisplayPos;
  UiPush push{};
  push.scale[0] = 2.0f / std::max(display.x, 1.0f);
  push.scale[1] = 2.0f / std::max(display.y, 1.0f);
  push.translate[0] = -1.0f - origin.x * push.scale[0];
  push.translate[1] = -1.0f - origin.y * push.scale[1];
  push.srgbTarget = isSrgb(uiFormat_) ? 1.0f : 0.0f;
  vkCmdPushConstants(cmd, uiPipelineLayout_, VK_SHADER_STAGE_VERTEX_BIT, 0, sizeof push, &push);
  const float sx = width / std::max(display.x, 1.0f), sy = height / std::max(display.y, 1.0f);

  VkDescriptorSet bound = VK_NULL_HANDLE;
  uint32_t vertexBase = 0, indexBase = 0;
  for (int n = 0; n < data->CmdListsCount; ++n) {
    const ImDrawList* list = data->CmdLists[n];
    for (const ImDrawCmd& draw : list->CmdBuffer) {
      if (draw.UserCallback != nullptr || draw.ElemCount == 0) continue;
      const float x0 = std::clamp((draw.ClipRect.x - origin.x) * sx, 0.0f, width);
      const float y0 = std::clamp((draw.ClipRect.y - origin.y) * sy, 0.0f, height);
      const float x1 = std::clamp((draw.ClipRect.z - origin.x) * sx, 0.0f, width);
      const float y1 = std::clamp((draw.ClipRect.w - origin.y) * sy, 0.0f, height);
      if (x1 <= x0 || y1 <= y0) continue;
      const VkRect2D scissor{{static_cast<int32_t>(x0), static_cast<int32_t>(y0)},
                             {static_cast<uint32_t>(x1 - static_cast<int32_t>(x0)),
                              static_cast<uint32_t>(y1 - static_cast<int32_t>(y0))}};
      vkCmdSetScissor(cmd, 0, 1, &scissor);
      // A null id is the font atlas of a frame built before its upload.
      VkDescriptorSet set = draw.TextureId != nullptr
                                ? reinterpret_cast<VkDescriptorSet>(draw.TextureId)
                                : uiFontSet_;
      if (set != bound) {
        vkCmdBindDescriptorSets(cmd, VK_PIPELINE_BIND_POINT_GRAPHICS, uiPipelineLayout_, 0, 1, &set,
                                0, nullptr);
        bound = set;
      }
      vkCmdDrawIndexed(cmd, draw.ElemCount, 1, indexBase + draw.IdxOffset,
                       static_cast<int32_t>(vertexBase + draw.VtxOffset), 0);
    }
    vertexBase += static_cast<uint32_t>(list->VtxBuffer.Size);
    indexBase += static_cast<uint32_t>(list->IdxBuffer.Size);
  }
}

// --- queries ---

void VulkanRenderer::beginUiFrame() {}

void* VulkanRenderer::uiTextureForLayer(int layer) const {
  if (layer < 0 || layer >= static_cast<int>(uiLayerSets_.size())) return nullptr;
  return reinterpret_cast<void*>(uiLayerSets_[layer]);
}

RendererStats VulkanRenderer::stats() const {
  RendererStats stats;
  stats.drawnChunks = drawnChunks_;
  stats.chunkMeshes = chunkMeshCount();
  stats.triangles = chunkTriangleCount();
  stats.gpuName = deviceName_;
  stats.apiVersion = apiVersion_;
  stats.width = extent_.width;
  stats.height = extent_.height;
  GLFWmonitor* monitor = glfwGetPrimaryMonitor();
  const GLFWvidmode* mode = monitor != nullptr ? glfwGetVideoMode(monitor) : nullptr;
  stats.refreshRate = mode != nullptr ? mode->refreshRate : 0;
  return stats;
}
