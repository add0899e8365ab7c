// The shadow map's pipeline and its pass: three cascades rendered depth-only from the
// sun, each drawing only the opaque chunks inside its own light volume, plus every
// entity. Translucent chunks and particles cast no shadow.

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

void VulkanRenderer::recordShadowPass(VkCommandBuffer cmd, const std::array<glm::mat4, 3>& cascades,
                                      glm::vec3 cameraPosition,
                                      const std::vector<EntityInstance>& entities) {
  const VkPipelineStageFlags depthStages =
      VK_PIPELINE_STAGE_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_LATE_FRAGMENT_TESTS_BIT;
  transition(
      cmd, shadowImage_, shadowLayout_, VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL,
      VK_IMAGE_ASPECT_DEPTH_BIT, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT, depthStages,
      VK_ACCESS_SHADER_READ_BIT,
      VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_READ_BIT | VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT,
      3);

  const VkViewport viewport{0, 0, kShadowMapSize, kShadowMapSize, 0, 1};
  const VkRect2D scissor{{0, 0}, {kShadowMapSize, kShadowMapSize}};
  for (int c = 0; c < 3; ++c) {
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

    ShadowPush push{cascades[c], glm::vec4(cameraPosition, daylight_), glm::vec4(0, 0, 0, 1),
                    glm::vec4(0, 0, 0, 1), glm::vec4(skyColour(daylight_), fogEnd_)};
    vkCmdPushConstants(cmd, shadowPipelineLayout_, VK_SHADER_STAGE_VERTEX_BIT, 0, sizeof push,
                       &push);
    // The vertex stage flattens casters nearer than the light's near plane onto it, so
    // only the side and far planes may cull.
    auto planes = frustumPlanes(shadowClipMatrix(cascades[c]));
    planes[4] = glm::vec4(0, 0, 0, 1);
    int drawn = 0;
    for (const auto& entry : opaqueMeshes_) {
      const GpuMesh& mesh = entry.second;
      const Box box{{mesh.box[0], mesh.box[1], mesh.box[2]},
                    {mesh.box[3], mesh.box[4], mesh.box[5]}};
      if (outsideFrustum(planes, box)) continue;
      drawMesh(cmd, mesh);
      ++drawn;
    }
    shadowDraws_[c] = drawn;

    if (!models_.empty()) {
      for (const EntityInstance& instance : entities) {
        const GpuMesh& model = models_[instance.model % models_.size()];
        if (model.buffer == VK_NULL_HANDLE) continue;
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

  transition(cmd, shadowImage_, shadowLayout_, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL,
             VK_IMAGE_ASPECT_DEPTH_BIT, depthStages, VK_PIPELINE_STAGE_FRAGMENT_SHADER_BIT,
             VK_ACCESS_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT, 3);
}
