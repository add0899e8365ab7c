// GPU textures: the block texture array (pixels from the texture set, uploaded once
// through a staging buffer, one copy region per mip level) and the cascaded shadow map.

#include <cstring>

#include "platform/program_folder.h"
#include "render/texture_set.h"
#include "render/vk_check.h"
#include "render/vulkan_renderer.h"
#include "world/block_registry.h"

void VulkanRenderer::createTextureArray() {
  const auto layers = static_cast<uint32_t>(blocks().textureCount());
  const TextureSet set = loadTextureSet(dataFolder("resourcepacks"));
  const uint32_t tile = set.tileSize;
  const uint32_t levels = mipLevelCount(tile);
  const std::vector<uint8_t> pixels = buildTextureLevels(set, layers);

  VkImageCreateInfo imageInfo{VK_STRUCTURE_TYPE_IMAGE_CREATE_INFO};
  imageInfo.imageType = VK_IMAGE_TYPE_2D;
  imageInfo.format = VK_FORMAT_R8G8B8A8_SRGB;
  imageInfo.extent = {tile, tile, 1};
  imageInfo.mipLevels = levels;
  imageInfo.arrayLayers = layers;
  imageInfo.samples = VK_SAMPLE_COUNT_1_BIT;
  imageInfo.tiling = VK_IMAGE_TILING_OPTIMAL;
  imageInfo.usage = VK_IMAGE_USAGE_TRANSFER_DST_BIT | VK_IMAGE_USAGE_SAMPLED_BIT;
  VK_CHECK(allocator_->createImage(imageInfo, &textureImage_, &textureAllocation_));

  VkBufferCreateInfo bufferInfo{VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
  bufferInfo.size = pixels.size();
  bufferInfo.usage = VK_BUFFER_USAGE_TRANSFER_SRC_BIT;
  VkBuffer stagingBuffer = VK_NULL_HANDLE;
  GpuAllocation stagingMemory;
  VK_CHECK(
      allocator_->createBuffer(bufferInfo, MemoryUse::HostWrite, &stagingBuffer, &stagingMemory));
  std::memcpy(stagingMemory.mapped, pixels.data(), pixels.size());
  try {
    VK_CHECK(allocator_->flush(stagingMemory, 0, VK_WHOLE_SIZE));
    std::vector<VkBufferImageCopy> regions;
    VkDeviceSize offset = 0;
    for (uint32_t level = 0; level < levels; ++level) {
      const uint32_t size = tile >> level;
      VkBufferImageCopy region{};
      region.bufferOffset = offset;
      region.imageSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, level, 0, layers};
      region.imageExtent = {size, size, 1};
      regions.push_back(region);
      offset += VkDeviceSize{size} * size * 4 * layers;
    }
    immediateSubmit([&](VkCommandBuffer cmd) {
      VkImageMemoryBarrier barrier{VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER};
      barrier.srcAccessMask = 0;
      barrier.dstAccessMask = VK_ACCESS_TRANSFER_WRITE_BIT;
      barrier.oldLayout = VK_IMAGE_LAYOUT_UNDEFINED;
      barrier.newLayout = VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL;
      barrier.srcQueueFamilyIndex = barrier.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
      barrier.image = textureImage_;
      barrier.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, levels, 0, layers};
      vkCmdPipelineBarrier(cmd, VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT, VK_PIPELINE_STAGE_TRANSFER_BIT,
                           0, 0, nullptr, 0, nullptr, 1, &barrier);
      vkCmdCopyBufferToImage(cmd, stagingBuffer, textureImage_,
                             VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL,
                             static_cast<uint32_t>(regions.size()), regions.data());
      barrier.srcAccessMask = VK_ACCESS_TRANSFER_WRITE_BIT;
      barrier.dstAccessMask = VK_ACCESS_SHADER_READ_BIT;
      barrier.oldLayout = VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL;
      barrier.newLayout = VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL;
      vkCmdPipelineBarrier(cmd, VK_PIPELINE_STAGE_TRANSFER_BIT,
                           VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, 0, 0, nullptr, 0, nullptr, 1,
                           &barrier);
    });
  } catch (...) {
    allocator_->destroyBuffer(stagingBuffer, stagingMemory);
    throw;
  }
  allocator_->destroyBuffer(stagingBuffer, stagingMemory);

  VkImageViewCreateInfo viewInfo{VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO};
  viewInfo.image = textureImage_;
  viewInfo.viewType = VK_IMAGE_VIEW_TYPE_2D_ARRAY;
  viewInfo.format = VK_FORMAT_R8G8B8A8_SRGB;
  viewInfo.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, levels, 0, layers};
  VK_CHECK(vkCreateImageView(device_, &viewInfo, nullptr, &textureView_));
  textureLayerViews_.assign(layers, VK_NULL_HANDLE);
  for (uint32_t layer = 0; layer < layers; ++layer) {
    VkImageViewCreateInfo layerViewInfo = viewInfo;
    layerViewInfo.viewType = VK_IMAGE_VIEW_TYPE_2D;
    layerViewInfo.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, levels, layer, 1};
    VK_CHECK(vkCreateImageView(device_, &layerViewInfo, nullptr, &textureLayerViews_[layer]));
  }

  VkSamplerCreateInfo samplerInfo{VK_STRUCTURE_TYPE_SAMPLER_CREATE_INFO};
  samplerInfo.magFilter = VK_FILTER_NEAREST;
  samplerInfo.minFilter = VK_FILTER_LINEAR;
  samplerInfo.mipmapMode = VK_SAMPLER_MIPMAP_MODE_LINEAR;
  samplerInfo.addressModeU = VK_SAMPLER_ADDRESS_MODE_REPEAT;
  samplerInfo.addressModeV = VK_SAMPLER_ADDRESS_MODE_REPEAT;
  samplerInfo.addressModeW = VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
  samplerInfo.minLod = 0;
  samplerInfo.maxLod = static_cast<float>(levels - 1);
  VK_CHECK(vkCreateSampler(device_, &samplerInfo, nullptr, &sampler_));
}

void VulkanRenderer::createShadowMap() {
  VkImageCreateInfo imageInfo{VK_STRUCTURE_TYPE_IMAGE_CREATE_INFO};
  imageInfo.imageType = VK_IMAGE_TYPE_2D;
  imageInfo.format = VK_FORMAT_D32_SFLOAT;
  imageInfo.extent = {2048, 2048, 1};
  imageInfo.mipLevels = 1;
  imageInfo.arrayLayers = 3;
  imageInfo.samples = VK_SAMPLE_COUNT_1_BIT;
  imageInfo.tiling = VK_IMAGE_TILING_OPTIMAL;
  imageInfo.usage = VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT | VK_IMAGE_USAGE_SAMPLED_BIT |
                    VK_IMAGE_USAGE_TRANSFER_DST_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT;
  VK_CHECK(allocator_->createImage(imageInfo, &shadowImage_, &shadowAllocation_));

  VkImageViewCreateInfo arrayView{VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO};
  arrayView.image = shadowImage_;
  arrayView.viewType = VK_IMAGE_VIEW_TYPE_2D_ARRAY;
  arrayView.format = VK_FORMAT_D32_SFLOAT;
  arrayView.subresourceRange = {VK_IMAGE_ASPECT_DEPTH_BIT, 0, 1, 0, 3};
  VK_CHECK(vkCreateImageView(device_, &arrayView, nullptr, &shadowView_));
  for (uint32_t i = 0; i < 3; ++i) {
    VkImageViewCreateInfo layerView = arrayView;
    layerView.viewType = VK_IMAGE_VIEW_TYPE_2D;
    layerView.subresourceRange = {VK_IMAGE_ASPECT_DEPTH_BIT, 0, 1, i, 1};
    VK_CHECK(vkCreateImageView(device_, &layerView, nullptr, &shadowLayerViews_[i]));
  }

  VkSamplerCreateInfo samplerInfo{VK_STRUCTURE_TYPE_SAMPLER_CREATE_INFO};
  samplerInfo.magFilter = VK_FILTER_NEAREST;
  samplerInfo.minFilter = VK_FILTER_NEAREST;
  samplerInfo.mipmapMode = VK_SAMPLER_MIPMAP_MODE_NEAREST;
  samplerInfo.addressModeU = samplerInfo.addressModeV = samplerInfo.addressModeW =
      VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
  VK_CHECK(vkCreateSampler(device_, &samplerInfo, nullptr, &shadowSampler_));

  // Until a shadow pass has drawn into it the map reads as "nothing casts a shadow".
  immediateSubmit([this](VkCommandBuffer cmd) {
    transition(cmd, shadowImage_, shadowLayout_, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL,
               VK_IMAGE_ASPECT_DEPTH_BIT, VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT,
               VK_PIPELINE_STAGE_TRANSFER_BIT, 0, VK_ACCESS_TRANSFER_WRITE_BIT, 3);
    const VkClearDepthStencilValue clear{1.0f, 0};
    const VkImageSubresourceRange range{VK_IMAGE_ASPECT_DEPTH_BIT, 0, 1, 0, 3};
    vkCmdClearDepthStencilImage(cmd, shadowImage_, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, &clear, 1,
                                &range);
    transition(cmd, shadowImage_, shadowLayout_, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL,
               VK_IMAGE_ASPECT_DEPTH_BIT, VK_PIPELINE_STAGE_TRANSFER_BIT,
               VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, VK_ACCESS_TRANSFER_WRITE_BIT,
               VK_ACCESS_SHADER_READ_BIT, 3);
  });
}
