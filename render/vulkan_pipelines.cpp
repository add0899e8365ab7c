// Shader modules, descriptor sets and graphics pipelines: the scene set and the two block
// pipelines (opaque, translucent), and the post set with the occlusion, blur, bloom,
// exposure, composite and final passes. Resource packs may replace some modules; a
// replacement that is not usable falls back to the built-in file.
//
// Sections: readSpirv and loadShader, createSceneDescriptors, createPipeline (shared
// fixed-function state), createBlockPipelines, createPostPipelines, writePostSet.

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/program_folder.h"
#include "render/vk_check.h"
#include "render/vulkan_renderer.h"

namespace {

// Reads a SPIR-V file, with the reason on standard error when it is unusable.
std::vector<uint32_t> readSpirv(const std::string& path, bool& found) {
  std::ifstream in(path, std::ios::binary);
  found = static_cast<bool>(in);
  if (!in) return {};
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
  if (bytes.empty() || bytes.size() % 4 != 0) {
    std::fprintf(stderr, "shader has invalid size: %s\n", path.c_str());
    return {};
  }
  std::vector<uint32_t> words(bytes.size() / 4);
  std::memcpy(words.data(), bytes.data(), bytes.size());
  if (words[0] != 0x07230203u) {
    std::fprintf(stderr, "shader is not SPIR-V: %s\n", path.c_str());
    return {};
  }
  return words;
}

}  // namespace

VkShaderModule VulkanRenderer::loadShader(const std::string& file, const char* overrideName) {
  // A resource pack's replacement comes first; any fault in it falls back to ours.
  if (overrideName != nullptr) {
    const auto found = shaderOverrides_.find(overrideName);
    if (found != shaderOverrides_.end()) {
      const std::vector<uint32_t> words = overrideWords(overrideName, found->second);
      VkShaderModule module = VK_NULL_HANDLE;
      if (!words.empty()) {
        VkShaderModuleCreateInfo info{VK_STRUCTURE_TYPE_SHADER_MODULE_CREATE_INFO};
        info.codeSize = words.size() * 4;
        info.pCode = words.data();
        if (vkCreateShaderModule(device_, &info, nullptr, &module) != VK_SUCCESS) {
          module = VK_NULL_HANDLE;
        }
      }
      if (module != VK_NULL_HANDLE) return module;
      std::fprintf(stderr, "shader override %s failed, using built-in\n", overrideName);
    }
  }
  std::vector<uint32_t> code;
  bool found = false;
  for (const std::string& folder : {dataFolder("shaders"), currentDirectory() + "/shaders"}) {
    const std::string path = folder + "/" + file;
    code = readSpirv(path, found);
    if (!found) std::fprintf(stderr, "shader not found: %s\n", path.c_str());
    if (!code.empty()) break;
  }
  if (code.empty()) return VK_NULL_HANDLE;
  VkShaderModuleCreateInfo info{VK_STRUCTURE_TYPE_SHADER_MODULE_CREATE_INFO};
  info.codeSize = code.size() * 4;
  info.pCode = code.data();
  VkShaderModule module = VK_NULL_HANDLE;
  if (vkCreateShaderModule(device_, &info, nullptr, &module) != VK_SUCCESS) return VK_NULL_HANDLE;
  return module;
}

void VulkanRenderer::createSceneDescriptors() {
  const VkShaderStageFlags both = VK_SHADER_STAGE_VERTEX_BIT | VK_SHADER_STAGE_FRAGMENT_BIT;
  const VkDescriptorSetLayoutBinding bindings[4] = {
      {0, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, 1, VK_SHADER_STAGE_FRAGMENT_BIT, nullptr},
      {1, VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER, 1, VK_SHADER_STAGE_FRAGMENT_BIT, nullptr},
      {2, VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER, 1, both, nullptr},
      {3, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, 1, VK_SHADER_STAGE_FRAGMENT_BIT, nullptr},
  };
  VkDescriptorSetLayoutCreateInfo layoutInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_LAYOUT_CREATE_INFO};
  layoutInfo.bindingCount = 4;
  layoutInfo.pBindings = bindings;
  VK_CHECK(vkCreateDescriptorSetLayout(device_, &layoutInfo, nullptr, &descriptorSetLayout_));

  const VkDescriptorPoolSize sizes[2] = {{VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, 2},
                                         {VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER, 2}};
  VkDescriptorPoolCreateInfo poolInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_POOL_CREATE_INFO};
  poolInfo.maxSets = 1;
  poolInfo.poolSizeCount = 2;
  poolInfo.pPoolSizes = sizes;
  VK_CHECK(vkCreateDescriptorPool(device_, &poolInfo, nullptr, &descriptorPool_));
  VkDescriptorSetAllocateInfo allocateInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_ALLOCATE_INFO};
  allocateInfo.descriptorPool = descriptorPool_;
  allocateInfo.descriptorSetCount = 1;
  allocateInfo.pSetLayouts = &descriptorSetLayout_;
  VK_CHECK(vkAllocateDescriptorSets(device_, &allocateInfo, &descriptorSet_));

  const VkDescriptorImageInfo textures{sampler_, textureView_,
                                       VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL};
  const VkDescriptorImageInfo shadow{shadowSampler_, shadowView_,
                                     VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL};
  const VkDescriptorBufferInfo visual{visualBuffer_, 0, 32};
  const VkDescriptorBufferInfo frame{frameBuffer_, 0, 416};
  VkWriteDescriptorSet writes[4];
  for (uint32_t i = 0; i < 4; ++i) {
    writes[i] = {VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET};
    writes[i].dstSet = descriptorSet_;
    writes[i].dstBinding = i;
    writes[i].descriptorCount = 1;
    writes[i].descriptorType = bindings[i].descriptorType;
  }
  writes[0].pImageInfo = &textures;
  writes[1].pBufferInfo = &visual;
  writes[2].pBufferInfo = &frame;
  writes[3].pImageInfo = &shadow;
  vkUpdateDescriptorSets(device_, 4, writes, 0, nullptr);

  VkPushConstantRange push{both, 0, 128};
  VkPipelineLayoutCreateInfo pipelineLayoutInfo{VK_STRUCTURE_TYPE_PIPELINE_LAYOUT_CREATE_INFO};
  pipelineLayoutInfo.setLayoutCount = 1;
  pipelineLayoutInfo.pSetLayouts = &descriptorSetLayout_;
  pipelineLayoutInfo.pushConstantRangeCount = 1;
  pipelineLayoutInfo.pPushConstantRanges = &push;
  {
    const VkPipelineLayoutCreateInfo& layoutInfo = pipelineLayoutInfo;
    VK_CHECK(vkCreatePipelineLayout(device_, &layoutInfo, nullptr, &pipelineLayout_));
  }
}

VkPipeline VulkanRenderer::createPipeline(VkPipelineLayout layout, VkShaderModule vertex,
                                          const char* vertexEntry, VkShaderModule fragment,
                                          const char* fragmentEntry, bool chunkVertices,
                                          VkFormat colourFormat, bool depthTest, bool depthWrite,
                                          bool alphaBlend, bool additive, bool depthBias,
                                          bool uiVertices) {
  VkPipelineShaderStageCreateInfo stages[2] = {
      {VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO},
      {VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO}};
  stages[0].stage = VK_SHADER_STAGE_VERTEX_BIT;
  stages[0].module = vertex;
  stages[0].pName = vertexEntry;
  stages[1].stage = VK_SHADER_STAGE_FRAGMENT_BIT;
  stages[1].module = fragment;
  stages[1].pName = fragmentEntry;

  const VkVertexInputBindingDescription binding{0, sizeof(ChunkVertex),
                                                VK_VERTEX_INPUT_RATE_VERTEX};
  const VkVertexInputAttributeDescription attributes[4] = {
      {0, 0, VK_FORMAT_R32G32B32_SFLOAT, 0},
      {1, 0, VK_FORMAT_R32G32_SFLOAT, 12},
      {2, 0, VK_FORMAT_R32_SFLOAT, 20},
      {3, 0, VK_FORMAT_R32_UINT, 24},
  };
  // UI vertices: position, uv, RGBA8 colour (20 bytes).
  const VkVertexInputBindingDescription uiBinding{0, 20, VK_VERTEX_INPUT_RATE_VERTEX};
  const VkVertexInputAttributeDescription uiAttributes[3] = {
      {0, 0, VK_FORMAT_R32G32_SFLOAT, 0},
      {1, 0, VK_FORMAT_R32G32_SFLOAT, 8},
      {2, 0, VK_FORMAT_R8G8B8A8_UNORM, 16},
  };
  VkPipelineVertexInputStateCreateInfo vertexInput{
      VK_STRUCTURE_TYPE_PIPELINE_VERTEX_INPUT_STATE_CREATE_INFO};
  if (chunkVertices) {
    vertexInput.vertexBindingDescriptionCount = 1;
    vertexInput.pVertexBindingDescriptions = &binding;
    vertexInput.vertexAttributeDescriptionCount = 4;
    vertexInput.pVertexAttributeDescriptions = attributes;
  } else if (uiVertices) {
    vertexInput.vertexBindingDescriptionCount = 1;
    vertexInput.pVertexBindingDescriptions = &uiBinding;
    vertexInput.vertexAttributeDescriptionCount = 3;
    vertexInput.pVertexAttributeDescriptions = uiAttributes;
  }
  VkPipelineInputAssemblyStateCreateInfo assembly{
      VK_STRUCTURE_TYPE_PIPELINE_INPUT_ASSEMBLY_STATE_CREATE_INFO};
  assembly.topology = VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST;
  VkPipelineViewportStateCreateInfo viewport{VK_STRUCTURE_TYPE_PIPELINE_VIEWPORT_STATE_CREATE_INFO};
  viewport.viewportCount = 1;
  viewport.scissorCount = 1;
  VkPipelineRasterizationStateCreateInfo raster{
      VK_STRUCTURE_TYPE_PIPELINE_RASTERIZATION_STATE_CREATE_INFO};
  raster.polygonMode = VK_POLYGON_MODE_FILL;
  raster.cullMode = VK_CULL_MODE_NONE;
  raster.lineWidth = 1.0f;
  if (depthBias) {
    raster.depthBiasEnable = VK_TRUE;
    raster.depthBiasConstantFactor = 1.5f;
    raster.depthBiasSlopeFactor = 2.0f;
  }
  VkPipelineMultisampleStateCreateInfo multisample{
      VK_STRUCTURE_TYPE_PIPELINE_MULTISAMPLE_STATE_CREATE_INFO};
  multisample.rasterizationSamples = VK_SAMPLE_COUNT_1_BIT;
  VkPipelineDepthStencilStateCreateInfo depth{
      VK_STRUCTURE_TYPE_PIPELINE_DEPTH_STENCIL_STATE_CREATE_INFO};
  depth.depthTestEnable = depthTest;
  depth.depthWriteEnable = depthWrite;
  depth.depthCompareOp = VK_COMPARE_OP_LESS_OR_EQUAL;
  VkPipelineColorBlendAttachmentState blend{};
  blend.colorWriteMask = VK_COLOR_COMPONENT_R_BIT | VK_COLOR_COMPONENT_G_BIT |
                         VK_COLOR_COMPONENT_B_BIT | VK_COLOR_COMPONENT_A_BIT;
  if (alphaBlend) {
    blend.blendEnable = VK_TRUE;
    blend.srcColorBlendFactor = VK_BLEND_FACTOR_SRC_ALPHA;
    blend.dstColorBlendFactor = VK_BLEND_FACTOR_ONE_MINUS_SRC_ALPHA;
    blend.colorBlendOp = VK_BLEND_OP_ADD;
    blend.srcAlphaBlendFactor = VK_BLEND_FACTOR_ONE;
    blend.dstAlphaBlendFactor = VK_BLEND_FACTOR_ZERO;
    blend.alphaBlendOp = VK_BLEND_OP_ADD;
  } else if (additive) {
    blend.blendEnable = VK_TRUE;
    blend.srcColorBlendFactor = blend.dstColorBlendFactor = VK_BLEND_FACTOR_ONE;
    blend.srcAlphaBlendFactor = blend.dstAlphaBlendFactor = VK_BLEND_FACTOR_ONE;
    blend.colorBlendOp = blend.alphaBlendOp = VK_BLEND_OP_ADD;
  }
  // A depth-only pipeline (the shadow pass) has no fragment stage and no colour.
  const bool colour = colourFormat != VK_FORMAT_UNDEFINED;
  VkPipelineColorBlendStateCreateInfo colourBlend{
      VK_STRUCTURE_TYPE_PIPELINE_COLOR_BLEND_STATE_CREATE_INFO};
  colourBlend.attachmentCount = colour ? 1 : 0;
  colourBlend.pAttachments = &blend;
  const VkDynamicState dynamicStates[2] = {VK_DYNAMIC_STATE_VIEWPORT, VK_DYNAMIC_STATE_SCISSOR};
  VkPipelineDynamicStateCreateInfo dynamic{VK_STRUCTURE_TYPE_PIPELINE_DYNAMIC_STATE_CREATE_INFO};
  dynamic.dynamicStateCount = 2;
  dynamic.pDynamicStates = dynamicStates;
  VkPipelineRenderingCreateInfo rendering{VK_STRUCTURE_TYPE_PIPELINE_RENDERING_CREATE_INFO};
  rendering.colorAttachmentCount = colour ? 1 : 0;
  rendering.pColorAttachmentFormats = colour ? &colourFormat : nullptr;
  rendering.depthAttachmentFormat = depthTest ? VK_FORMAT_D32_SFLOAT : VK_FORMAT_UNDEFINED;

  VkGraphicsPipelineCreateInfo pipelineInfo{VK_STRUCTURE_TYPE_GRAPHICS_PIPELINE_CREATE_INFO};
  pipelineInfo.pNext = &rendering;
  pipelineInfo.stageCount = fragment != VK_NULL_HANDLE ? 2 : 1;
  pipelineInfo.pStages = stages;
  pipelineInfo.pVertexInputState = &vertexInput;
  pipelineInfo.pInputAssemblyState = &assembly;
  pipelineInfo.pViewportState = &viewport;
  pipelineInfo.pRasterizationState = &raster;
  pipelineInfo.pMultisampleState = &multisample;
  pipelineInfo.pDepthStencilState = &depth;
  pipelineInfo.pColorBlendState = &colourBlend;
  pipelineInfo.pDynamicState = &dynamic;
  pipelineInfo.layout = layout;
  VkPipeline pipeline = VK_NULL_HANDLE;
  VK_CHECK(
      vkCreateGraphicsPipelines(device_, VK_NULL_HANDLE, 1, &pipelineInfo, nullptr, &pipeline));
  return pipeline;
}

void VulkanRenderer::createBlockPipelines() {
  VkShaderModule vertex = loadShader("block_vs.spv", "block_vs");
  VkShaderModule fragment = loadShader("block_fs.spv", "block_fs");
  const auto release = [&] {
    if (vertex) vkDestroyShaderModule(device_, vertex, nullptr);
    if (fragment) vkDestroyShaderModule(device_, fragment, nullptr);
  };
  if (!vertex || !fragment) {
    release();
    throw std::runtime_error("shader modules missing");
  }
  try {
    pipelineOpaque_ = createPipeline(pipelineLayout_, vertex, "VSMain", fragment, "PSMain", true,
                                     sceneColorFormat_, true, true, false);
    pipelineTranslucent_ = createPipeline(pipelineLayout_, vertex, "VSMain", fragment, "PSMain",
                                          true, sceneColorFormat_, true, false, true);
  } catch (...) {
    release();
    throw;
  }
  release();
}

void VulkanRenderer::createPostPipelines() {
  VkSamplerCreateInfo samplerInfo{VK_STRUCTURE_TYPE_SAMPLER_CREATE_INFO};
  samplerInfo.magFilter = VK_FILTER_LINEAR;
  samplerInfo.minFilter = VK_FILTER_LINEAR;
  samplerInfo.mipmapMode = VK_SAMPLER_MIPMAP_MODE_NEAREST;
  samplerInfo.addressModeU = samplerInfo.addressModeV = samplerInfo.addressModeW =
      VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
  VK_CHECK(vkCreateSampler(device_, &samplerInfo, nullptr, &postSampler_));

  // 0 scene colour, 1 depth, 2 occlusion blurred, 3-5 bloom levels, 6 exposure,
  // 7 composite, 8 frame data, 9 occlusion.
  VkDescriptorSetLayoutBinding bindings[10];
  for (uint32_t i = 0; i < 10; ++i) {
    bindings[i] = {
        i, i == 8 ? VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER : VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER,
        1, VK_SHADER_STAGE_FRAGMENT_BIT, nullptr};
  }
  VkDescriptorSetLayoutCreateInfo layoutInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_LAYOUT_CREATE_INFO};
  layoutInfo.bindingCount = 10;
  layoutInfo.pBindings = bindings;
  VK_CHECK(vkCreateDescriptorSetLayout(device_, &layoutInfo, nullptr, &postSetLayout_));
  const VkDescriptorPoolSize sizes[2] = {{VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, 9},
                                         {VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER, 1}};
  VkDescriptorPoolCreateInfo poolInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_POOL_CREATE_INFO};
  poolInfo.maxSets = 1;
  poolInfo.poolSizeCount = 2;
  poolInfo.pPoolSizes = sizes;
  VK_CHECK(vkCreateDescriptorPool(device_, &poolInfo, nullptr, &postPool_));
  VkDescriptorSetAllocateInfo allocateInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_ALLOCATE_INFO};
  allocateInfo.descriptorPool = postPool_;
  allocateInfo.descriptorSetCount = 1;
  allocateInfo.pSetLayouts = &postSetLayout_;
  VK_CHECK(vkAllocateDescriptorSets(device_, &allocateInfo, &postSet_));
  writePostSet();

  const VkPushConstantRange push{VK_SHADER_STAGE_VERTEX_BIT | VK_SHADER_STAGE_FRAGMENT_BIT, 0, 64};
  VkPipelineLayoutCreateInfo pipelineLayout{VK_STRUCTURE_TYPE_PIPELINE_LAYOUT_CREATE_INFO};
  pipelineLayout.setLayoutCount = 1;
  pipelineLayout.pSetLayouts = &postSetLayout_;
  pipelineLayout.pushConstantRangeCount = 1;
  pipelineLayout.pPushConstantRanges = &push;
  VK_CHECK(vkCreatePipelineLayout(device_, &pipelineLayout, nullptr, &postPipelineLayout_));

  VkShaderModule quad = loadShader("post_vs.spv");
  VkShaderModule occlusion = loadShader("post_ssao_fs.spv");
  VkShaderModule blur = loadShader("post_blur_fs.spv");
  // The bloom chain has one module per level it reads (a module may not mention the
  // target it draws into): down from the scene, bloom 0, bloom 1; up from bloom 2, 1.
  VkShaderModule bloomDown[3] = {loadShader("post_bloom_down_fs.spv"),
                                 loadShader("post_bloom_down1_fs.spv"),
                                 loadShader("post_bloom_down2_fs.spv")};
  VkShaderModule bloomUp[2] = {loadShader("post_bloom_up1_fs.spv"),
                               loadShader("post_bloom_up_fs.spv")};
  VkShaderModule exposure = loadShader("post_exposure_fs.spv");
  VkShaderModule composite = loadShader("post_composite_fs.spv", "composite_fs");
  VkShaderModule final = loadShader("post_fxaa_fs.spv", "final_fs");
  const VkShaderModule modules[] = {quad,         occlusion,    blur,       bloomDown[0],
                                    bloomDown[1], bloomDown[2], bloomUp[0], bloomUp[1],
                                    exposure,     composite,    final};
  const auto release = [&] {
    for (VkShaderModule module : modules) {
      if (module) vkDestroyShaderModule(device_, module, nullptr);
    }
  };
  for (VkShaderModule module : modules) {
    if (!module) {
      release();
      throw std::runtime_error("post shader modules missing");
    }
  }
  const auto fullScreen = [&](VkShaderModule fragment, const char* entry, VkFormat format,
                              bool additive = false) {
    return createPipeline(postPipelineLayout_, quad, "FSQuadVS", fragment, entry, false, format,
                          false, false, false, additive);
  };
  try {
    pipelineOcclusion_ = fullScreen(occlusion, "FSSsao", VK_FORMAT_R8_UNORM);
    pipelineBlur_ = fullScreen(blur, "FSBlur", VK_FORMAT_R8_UNORM);
    for (int level = 0; level < 3; ++level) {
      pipelineBloomDown_[level] =
          fullScreen(bloomDown[level], "FSBloomDown", VK_FORMAT_R16G16B16A16_SFLOAT);
    }
    for (int level = 0; level < 2; ++level) {
      pipelineBloomUp_[level] =
          fullScreen(bloomUp[level], "FSBloomUp", VK_FORMAT_R16G16B16A16_SFLOAT, true);
    }
    pipelineExposure_ = fullScreen(exposure, "FSExposure", VK_FORMAT_R16_SFLOAT);
    pipelineComposite_ =
        createPipeline(postPipelineLayout_, quad, "FSQuadVS", composite, "FSComposite", false,
                       swapchainFormat_, false, false, false);
    pipelineFinal_ = createPipeline(postPipelineLayout_, quad, "FSQuadVS", final, "FSFxaa", false,
                                    swapchainFormat_, false, false, false);
  } catch (...) {
    release();
    throw;
  }
  release();
}

void VulkanRenderer::writePostSet() {
  const RenderTarget* targets[10] = {&sceneColorTarget_, &depthTarget_,     &occlusionBlurTarget_,
                                     &bloomTargets_[0],  &bloomTargets_[1], &bloomTargets_[2],
                                     &exposureTarget_,   &compositeTarget_, nullptr,
                                     &occlusionTarget_};
  VkDescriptorImageInfo images[10]{};
  const VkDescriptorBufferInfo frame{frameBuffer_, 0, 416};
  // Linear filtering of D32 is optional (lavapipe lacks it); where it is missing the depth
  // is read through the nearest-filtering shadow sampler instead.
  VkFormatProperties depthProperties;
  vkGetPhysicalDeviceFormatProperties(physicalDevice_, VK_FORMAT_D32_SFLOAT, &depthProperties);
  const bool depthFilters = (depthProperties.optimalTilingFeatures &
                             VK_FORMAT_FEATURE_SAMPLED_IMAGE_FILTER_LINEAR_BIT) != 0;
  VkWriteDescriptorSet writes[10];
  for (uint32_t i = 0; i < 10; ++i) {
    writes[i] = {VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET};
    writes[i].dstSet = postSet_;
    writes[i].dstBinding = i;
    writes[i].descriptorCount = 1;
    if (targets[i] == nullptr) {
      writes[i].descriptorType = VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER;
      writes[i].pBufferInfo = &frame;
    } else {
      const VkSampler sampler = i == 1 && !depthFilters ? shadowSampler_ : postSampler_;
      images[i] = {sampler, targets[i]->view, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL};
      writes[i].descriptorType = VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER;
      writes[i].pImageInfo = &images[i];
    }
  }
  vkUpdateDescriptorSets(device_, 10, writes, 0, nullptr);
}
