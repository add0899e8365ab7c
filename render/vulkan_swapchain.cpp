// The swapchain (format, extent, image count, present mode, sharing) and the render
// targets whose size follows it: depth, scene colour, composite, and the half-size and
// smaller post-processing targets (occlusion, bloom levels, exposure).

#include <GLFW/glfw3.h>

#include <algorithm>

#include "render/scene_math.h"
#include "render/vk_check.h"
#include "render/vulkan_renderer.h"

namespace {

// The 8-bit format with the same bits as an sRGB one, without the sRGB encoding.
VkFormat plainFormat(VkFormat format) {
  if (format == VK_FORMAT_B8G8R8A8_SRGB) return VK_FORMAT_B8G8R8A8_UNORM;
  if (format == VK_FORMAT_R8G8B8A8_SRGB) return VK_FORMAT_R8G8B8A8_UNORM;
  return format;
}

}  // namespace

void VulkanRenderer::createSwapchain() {
  VkSurfaceCapabilitiesKHR caps;
  VK_CHECK(vkGetPhysicalDeviceSurfaceCapabilitiesKHR(physicalDevice_, surface_, &caps));
  uint32_t formatCount = 0;
  VK_CHECK(vkGetPhysicalDeviceSurfaceFormatsKHR(physicalDevice_, surface_, &formatCount, nullptr));
  std::vector<VkSurfaceFormatKHR> formats(formatCount);
  VK_CHECK(vkGetPhysicalDeviceSurfaceFormatsKHR(physicalDevice_, surface_, &formatCount,
                                                formats.data()));
  uint32_t presentModeCount = 0;
  VK_CHECK(vkGetPhysicalDeviceSurfacePresentModesKHR(physicalDevice_, surface_, &presentModeCount,
                                                     nullptr));
  std::vector<VkPresentModeKHR> presentModes(presentModeCount);
  VK_CHECK(vkGetPhysicalDeviceSurfacePresentModesKHR(physicalDevice_, surface_, &presentModeCount,
                                                     presentModes.data()));
  if (formats.empty()) throw std::runtime_error("no surface formats");

  VkSurfaceFormatKHR format = formats[0];
  for (const auto& candidate : formats) {
    if (candidate.format == VK_FORMAT_B8G8R8A8_SRGB &&
        candidate.colorSpace == VK_COLOR_SPACE_SRGB_NONLINEAR_KHR) {
      format = candidate;
      break;
    }
  }
  swapchainFormat_ = format.format;

  if (caps.currentExtent.width != UINT32_MAX) {
    extent_ = caps.currentExtent;
  } else {
    int width = 0, height = 0;
    glfwGetFramebufferSize(window_, &width, &height);
    extent_.width = std::clamp(static_cast<uint32_t>(width), caps.minImageExtent.width,
                               caps.maxImageExtent.width);
    extent_.height = std::clamp(static_cast<uint32_t>(height), caps.minImageExtent.height,
                                caps.maxImageExtent.height);
  }

  VkFormatProperties sceneProperties;
  vkGetPhysicalDeviceFormatProperties(physicalDevice_, VK_FORMAT_R16G16B16A16_SFLOAT,
                                      &sceneProperties);
  const VkFormatFeatureFlags sceneNeeds = VK_FORMAT_FEATURE_SAMPLED_IMAGE_BIT |
                                          VK_FORMAT_FEATURE_COLOR_ATTACHMENT_BIT |
                                          VK_FORMAT_FEATURE_COLOR_ATTACHMENT_BLEND_BIT;
  sceneColorFormat_ = (sceneProperties.optimalTilingFeatures & sceneNeeds) == sceneNeeds
                          ? VK_FORMAT_R16G16B16A16_SFLOAT
                          : VK_FORMAT_R8G8B8A8_SRGB;

  uint32_t imageCount = caps.minImageCount + 1;
  if (caps.maxImageCount != 0) imageCount = std::min(imageCount, caps.maxImageCount);

  VkCompositeAlphaFlagBitsKHR compositeAlpha = VK_COMPOSITE_ALPHA_INHERIT_BIT_KHR;
  for (VkCompositeAlphaFlagBitsKHR candidate :
       {VK_COMPOSITE_ALPHA_OPAQUE_BIT_KHR, VK_COMPOSITE_ALPHA_PRE_MULTIPLIED_BIT_KHR,
        VK_COMPOSITE_ALPHA_POST_MULTIPLIED_BIT_KHR}) {
    if ((caps.supportedCompositeAlpha & candidate) != 0) {
      compositeAlpha = candidate;
      break;
    }
  }

  const auto offered = [&](VkPresentModeKHR mode) {
    return std::find(presentModes.begin(), presentModes.end(), mode) != presentModes.end();
  };
  VkPresentModeKHR presentMode = VK_PRESENT_MODE_FIFO_KHR;
  if (!vsync_) {
    if (offered(VK_PRESENT_MODE_IMMEDIATE_KHR)) {
      presentMode = VK_PRESENT_MODE_IMMEDIATE_KHR;
    } else if (offered(VK_PRESENT_MODE_MAILBOX_KHR)) {
      presentMode = VK_PRESENT_MODE_MAILBOX_KHR;
    }
  }

  const uint32_t families[2] = {graphicsFamily_, presentFamily_};
  VkSwapchainCreateInfoKHR createInfo{VK_STRUCTURE_TYPE_SWAPCHAIN_CREATE_INFO_KHR};
  createInfo.surface = surface_;
  createInfo.minImageCount = imageCount;
  createInfo.imageFormat = format.format;
  createInfo.imageColorSpace = format.colorSpace;
  createInfo.imageExtent = extent_;
  createInfo.imageArrayLayers = 1;
  createInfo.imageUsage = VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT;
  const VkFormat plain = plainFormat(format.format);
  const VkFormat viewFormats[2] = {format.format, plain};
  VkImageFormatListCreateInfo formatList{VK_STRUCTURE_TYPE_IMAGE_FORMAT_LIST_CREATE_INFO};
  uiFormat_ = format.format;
  if (mutableSwapchain_ && plain != format.format) {
    formatList.viewFormatCount = 2;
    formatList.pViewFormats = viewFormats;
    createInfo.pNext = &formatList;
    createInfo.flags |= VK_SWAPCHAIN_CREATE_MUTABLE_FORMAT_BIT_KHR;
    uiFormat_ = plain;
  }
  if (graphicsFamily_ == presentFamily_) {
    createInfo.imageSharingMode = VK_SHARING_MODE_EXCLUSIVE;
  } else {
    createInfo.imageSharingMode = VK_SHARING_MODE_CONCURRENT;
    createInfo.queueFamilyIndexCount = 2;
    createInfo.pQueueFamilyIndices = families;
  }
  createInfo.preTransform = caps.currentTransform;
  createInfo.compositeAlpha = compositeAlpha;
  createInfo.presentMode = presentMode;
  createInfo.clipped = VK_TRUE;
  VK_CHECK(vkCreateSwapchainKHR(device_, &createInfo, nullptr, &swapchain_));

  uint32_t swapImageCount = 0;
  VK_CHECK(vkGetSwapchainImagesKHR(device_, swapchain_, &swapImageCount, nullptr));
  swapchainImages_.resize(swapImageCount);
  VK_CHECK(vkGetSwapchainImagesKHR(device_, swapchain_, &swapImageCount, swapchainImages_.data()));
  swapchainViews_.assign(swapImageCount, VK_NULL_HANDLE);
  swapchainLayouts_.assign(swapImageCount, VK_IMAGE_LAYOUT_UNDEFINED);
  for (uint32_t i = 0; i < swapImageCount; ++i) {
    VkImageViewCreateInfo viewInfo{VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO};
    viewInfo.image = swapchainImages_[i];
    viewInfo.viewType = VK_IMAGE_VIEW_TYPE_2D;
    viewInfo.format = swapchainFormat_;
    viewInfo.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    VK_CHECK(vkCreateImageView(device_, &viewInfo, nullptr, &swapchainViews_[i]));
  }
  uiViews_.assign(uiFormat_ != swapchainFormat_ ? swapImageCount : 0, VK_NULL_HANDLE);
  for (uint32_t i = 0; i < uiViews_.size(); ++i) {
    VkImageViewCreateInfo viewInfo{VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO};
    viewInfo.image = swapchainImages_[i];
    viewInfo.viewType = VK_IMAGE_VIEW_TYPE_2D;
    viewInfo.format = uiFormat_;
    viewInfo.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    VK_CHECK(vkCreateImageView(device_, &viewInfo, nullptr, &uiViews_[i]));
  }

  createDepthResources();
  createRenderTarget(sceneColorTarget_, sceneColorFormat_, extent_.width, extent_.height,
                     VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_SAMPLED_BIT,
                     VK_IMAGE_ASPECT_COLOR_BIT);
  createRenderTarget(compositeTarget_, swapchainFormat_, extent_.width, extent_.height,
                     VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_SAMPLED_BIT,
                     VK_IMAGE_ASPECT_COLOR_BIT);
  createPostTargets();
  if (postSet_ != VK_NULL_HANDLE) writePostSet();
}

void VulkanRenderer::createPostTargets() {
  const VkImageUsageFlags usage = VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_SAMPLED_BIT;
  const uint32_t halfWidth = halfSize(extent_.width), halfHeight = halfSize(extent_.height);
  createRenderTarget(occlusionTarget_, VK_FORMAT_R8_UNORM, halfWidth, halfHeight, usage,
                     VK_IMAGE_ASPECT_COLOR_BIT);
  createRenderTarget(occlusionBlurTarget_, VK_FORMAT_R8_UNORM, halfWidth, halfHeight, usage,
                     VK_IMAGE_ASPECT_COLOR_BIT);
  uint32_t width = extent_.width, height = extent_.height;
  for (RenderTarget& bloom : bloomTargets_) {
    width = halfSize(width);
    height = halfSize(height);
    createRenderTarget(bloom, VK_FORMAT_R16G16B16A16_SFLOAT, width, height, usage,
                       VK_IMAGE_ASPECT_COLOR_BIT);
  }
  createRenderTarget(exposureTarget_, VK_FORMAT_R16_SFLOAT, 1, 1, usage, VK_IMAGE_ASPECT_COLOR_BIT);
  // The composite pass's shader reads these whether or not their passes run this frame,
  // so they start out readable.
  immediateSubmit([this](VkCommandBuffer cmd) {
    for (RenderTarget* target : {&occlusionTarget_, &occlusionBlurTarget_, &bloomTargets_[0],
                                 &bloomTargets_[1], &bloomTargets_[2], &exposureTarget_}) {
      transition(cmd, target->image, target->layout, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL,
                 VK_IMAGE_ASPECT_COLOR_BIT, VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT,
                 VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, 0, VK_ACCESS_SHADER_READ_BIT);
    }
  });
}

void VulkanRenderer::destroyPostTargets() {
  for (RenderTarget* target : {&occlusionTarget_, &occlusionBlurTarget_, &bloomTargets_[0],
                               &bloomTargets_[1], &bloomTargets_[2], &exposureTarget_}) {
    destroyRenderTarget(*target);
  }
}

void VulkanRenderer::createDepthResources() {
  createRenderTarget(depthTarget_, VK_FORMAT_D32_SFLOAT, extent_.width, extent_.height,
                     VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT | VK_IMAGE_USAGE_SAMPLED_BIT,
                     VK_IMAGE_ASPECT_DEPTH_BIT);
  immediateSubmit([this](VkCommandBuffer cmd) {
    transition(
        cmd, depthTarget_.image, depthTarget_.layout,
        VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL, VK_IMAGE_ASPECT_DEPTH_BIT,
        VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT,
        VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_LATE_FRAGMENT_TESTS_BIT, 0,
        VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_READ_BIT | VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT);
  });
}

void VulkanRenderer::createRenderTarget(RenderTarget& target, VkFormat format, uint32_t width,
                                        uint32_t height, VkImageUsageFlags usage,
                                        VkImageAspectFlags aspect) {
  VkImageCreateInfo imageInfo{VK_STRUCTURE_TYPE_IMAGE_CREATE_INFO};
  imageInfo.imageType = VK_IMAGE_TYPE_2D;
  imageInfo.format = format;
  imageInfo.extent = {width, height, 1};
  imageInfo.mipLevels = 1;
  imageInfo.arrayLayers = 1;
  imageInfo.samples = VK_SAMPLE_COUNT_1_BIT;
  imageInfo.tiling = VK_IMAGE_TILING_OPTIMAL;
  imageInfo.usage = usage;
  imageInfo.initialLayout = VK_IMAGE_LAYOUT_UNDEFINED;
  VK_CHECK(allocator_->createImage(imageInfo, &target.image, &target.allocation));
  VkImageViewCreateInfo viewInfo{VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO};
  viewInfo.image = target.image;
  viewInfo.viewType = VK_IMAGE_VIEW_TYPE_2D;
  viewInfo.format = format;
  viewInfo.subresourceRange = {aspect, 0, 1, 0, 1};
  VK_CHECK(vkCreateImageView(device_, &viewInfo, nullptr, &target.view));
  target.layout = VK_IMAGE_LAYOUT_UNDEFINED;
  target.width = width;
  target.height = height;
}

void VulkanRenderer::destroyRenderTarget(RenderTarget& target) {
  if (target.view != VK_NULL_HANDLE) vkDestroyImageView(device_, target.view, nullptr);
  if (allocator_) allocator_->destroyImage(target.image, target.allocation);
  target = RenderTarget{};
}

void VulkanRenderer::destroySwapchain() {
  if (device_ == VK_NULL_HANDLE) return;
  destroyRenderTarget(depthTarget_);
  destroyRenderTarget(sceneColorTarget_);
  destroyRenderTarget(compositeTarget_);
  destroyPostTargets();
  for (VkImageView view : swapchainViews_) {
    if (view != VK_NULL_HANDLE) vkDestroyImageView(device_, view, nullptr);
  }
  swapchainViews_.clear();
  for (VkImageView view : uiViews_) {
    if (view != VK_NULL_HANDLE) vkDestroyImageView(device_, view, nullptr);
  }
  uiViews_.clear();
  swapchainImages_.clear();
  swapchainLayouts_.clear();
  if (swapchain_ != VK_NULL_HANDLE) vkDestroySwapchainKHR(device_, swapchain_, nullptr);
  swapchain_ = VK_NULL_HANDLE;
}

void VulkanRenderer::recreateSwapchain() {
  int width = 0, height = 0;
  glfwGetFramebufferSize(window_, &width, &height);
  if (width == 0 || height == 0) return;  // minimised: wait for the restore
  vkDeviceWaitIdle(device_);
  destroySwapchain();
  createSwapchain();
  invalidateShadowCache(shadowCache_);
}

void VulkanRenderer::onFramebufferResized() {
  if (device_ == VK_NULL_HANDLE) return;
  recreateSwapchain();
}
