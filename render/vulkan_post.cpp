// The post-processing chain between the scene pass and the final pass: ambient
// occlusion and its blur, the bloom chain (three levels down, two up), the exposure
// measurement and the composite into the display format; and the timestamp queries
// that time every pass of a frame.
//
// Sections: pass timestamps, recordPostEffects.

#include <vector>

#include "render/vk_check.h"
#include "render/vulkan_renderer.h"

namespace {

std::array<float, 16> postPush(std::initializer_list<float> values) {
  std::array<float, 16> push{};
  size_t i = 0;
  for (float value : values) push[i++] = value;
  return push;
}

}  // namespace

// --- pass timestamps ---

void VulkanRenderer::createTimestampQueries() {
  uint32_t familyCount = 0;
  vkGetPhysicalDeviceQueueFamilyProperties(physicalDevice_, &familyCount, nullptr);
  std::vector<VkQueueFamilyProperties> families(familyCount);
  vkGetPhysicalDeviceQueueFamilyProperties(physicalDevice_, &familyCount, families.data());
  VkPhysicalDeviceProperties properties;
  vkGetPhysicalDeviceProperties(physicalDevice_, &properties);
  if (graphicsFamily_ >= familyCount || families[graphicsFamily_].timestampValidBits == 0 ||
      properties.limits.timestampPeriod <= 0) {
    return;  // no GPU timing on this device; the timings stay at 0
  }
  VkQueryPoolCreateInfo poolInfo{VK_STRUCTURE_TYPE_QUERY_POOL_CREATE_INFO};
  poolInfo.queryType = VK_QUERY_TYPE_TIMESTAMP;
  poolInfo.queryCount = kTimestampCount;
  if (vkCreateQueryPool(device_, &poolInfo, nullptr, &timestampPool_) != VK_SUCCESS) {
    timestampPool_ = VK_NULL_HANDLE;
    return;
  }
  timestampPeriod_ = properties.limits.timestampPeriod;
}

void VulkanRenderer::writeTimestamp(VkCommandBuffer cmd, uint32_t slot) {
  if (timestampPool_ == VK_NULL_HANDLE) return;
  if (slot == kFrameStart) vkCmdResetQueryPool(cmd, timestampPool_, 0, kTimestampCount);
  vkCmdWriteTimestamp(cmd, VK_PIPELINE_STAGE_BOTTOM_OF_PIPE_BIT, timestampPool_, slot);
  if (slot == kFrameEnd) timestampsPending_ = true;
}

// Called once the last frame's fence has signalled, so the results are there.
void VulkanRenderer::readPassTimings() {
  if (!timestampsPending_ || timestampPool_ == VK_NULL_HANDLE) return;
  timestampsPending_ = false;
  uint64_t ticks[kTimestampCount] = {};
  if (vkGetQueryPoolResults(device_, timestampPool_, 0, kTimestampCount, sizeof ticks, ticks,
                            sizeof(uint64_t), VK_QUERY_RESULT_64_BIT) != VK_SUCCESS) {
    return;
  }
  const auto span = [&](uint32_t from, uint32_t to) {
    return ticks[to] >= ticks[from] ? (ticks[to] - ticks[from]) * timestampPeriod_ / 1e6 : 0.0;
  };
  passTiming_.measured = true;
  passTiming_.shadows = span(kFrameStart, kShadowsDone);
  passTiming_.scene = span(kShadowsDone, kSceneDone);
  passTiming_.occlusion = span(kSceneDone, kOcclusionDone);
  passTiming_.bloom = span(kOcclusionDone, kBloomDone);
  passTiming_.exposure = span(kBloomDone, kExposureDone);
  passTiming_.composite = span(kExposureDone, kCompositeDone);
  passTiming_.final = span(kCompositeDone, kFrameEnd);
}

// --- recordPostEffects ---

void VulkanRenderer::recordPostEffects(VkCommandBuffer cmd) {
  const bool occlusion = postProcessingOn_ && visual_.ssao > 0.001f;
  const bool bloom = postProcessingOn_ && visual_.bloom > 0.001f;
  const bool autoExposure = postProcessingOn_ && visual_.autoExposure > 0.5f;
  const float width = static_cast<float>(extent_.width),
              height = static_cast<float>(extent_.height);
  const auto inverse = [](uint32_t size) { return 1.0f / static_cast<float>(size); };

  if (occlusion) {
    recordPostPass(cmd, occlusionTarget_, pipelineOcclusion_,
                   postPush({1 / width, 1 / height, 1.25f, visual_.ssao, 0.02f}));
    recordPostPass(cmd, occlusionBlurTarget_, pipelineBlur_,
                   postPush({inverse(occlusionTarget_.width), inverse(occlusionTarget_.height)}));
  }
  writeTimestamp(cmd, kOcclusionDone);

  if (bloom) {
    recordPostPass(cmd, bloomTargets_[0], pipelineBloomDown_[0],
                   postPush({1 / width, 1 / height, visual_.bloomThreshold, 0, 1}));
    for (int level = 1; level < 3; ++level) {
      const RenderTarget& source = bloomTargets_[level - 1];
      recordPostPass(cmd, bloomTargets_[level], pipelineBloomDown_[level],
                     postPush({inverse(source.width), inverse(source.height), 0,
                               static_cast<float>(level), 0}));
    }
    // Up the chain, adding each smaller level onto the next larger one.
    for (int level = 2; level > 0; --level) {
      const RenderTarget& source = bloomTargets_[level];
      recordPostPass(
          cmd, bloomTargets_[level - 1], pipelineBloomUp_[level - 1],
          postPush({inverse(source.width), inverse(source.height), 1, static_cast<float>(level)}),
          true);
    }
  }
  writeTimestamp(cmd, kBloomDone);

  if (autoExposure) recordPostPass(cmd, exposureTarget_, pipelineExposure_, postPush({}));
  writeTimestamp(cmd, kExposureDone);

  recordPostPass(cmd, compositeTarget_, pipelineComposite_,
                 postPush({visual_.exposure * visual_.exposureBias, visual_.bloom, visual_.ssao,
                           visual_.saturation, autoExposure ? 1.0f : 0.0f, bloom ? 1.0f : 0.0f,
                           occlusion ? 1.0f : 0.0f, daylight_}));
  writeTimestamp(cmd, kCompositeDone);
}
