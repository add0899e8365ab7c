#pragma once
// The Vulkan renderer: owns every GPU object, draws chunk meshes, entities and particles
// into a high-range scene target, and brings it to the window's swapchain. All Vulkan
// calls go through volk. Start-up failures print "vulkan: init failed: %s" and make
// init() return false; a failing call later throws "vulkan failure" to the caller.
//
// Sources by concern: vulkan_device.cpp (start-up, shut-down, device, immediate
// submission, layout transitions), vulkan_swapchain.cpp (swapchain and size-dependent
// targets), vulkan_meshes.cpp (mesh store, shared mesh buffers), vulkan_textures.cpp (texture
// array, shadow map), vulkan_pipelines.cpp (shaders, descriptor sets, pipelines), vulkan_frame.cpp
// (frame pacing, frame data, scene pass, final pass, screenshots), vulkan_shadows.cpp
// (shadow cascades and their pass), vulkan_post.cpp (occlusion, bloom, exposure,
// composite, pass timestamps).

#include <volk.h>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "render/gpu_allocator.h"
#include "render/png_writer.h"
#include "render/range_allocator.h"
#include "render/renderer.h"
#include "render/shadow_cache.h"
#include "render/visual_settings.h"
#include "world/flat_hash.h"

// A mesh on the GPU: vertices then indices in one host-visible buffer, either its own or
// a range of a shared mesh buffer (chunk meshes). No buffer: empty.
struct GpuMesh {
  VkBuffer buffer = VK_NULL_HANDLE;
  GpuAllocation allocation;  // own buffers only
  uint32_t indexCount = 0;
  uint64_t indexOffset = 0;  // vertex count x 28
  float box[6] = {0, 0, 0, 0, 0, 0};
  // In a shared mesh buffer (arena >= 0): the range it holds there and the draw's first
  // index and vertex offset.
  int arena = -1;
  uint64_t range = 0;
  uint32_t firstIndex = 0;
  int32_t vertexOffset = 0;
};

// A shared mesh buffer: chunk meshes sub-allocated from one buffer, so that a pass binds
// it once and draws all of its chunks with one indirect draw.
struct MeshArena {
  VkBuffer buffer = VK_NULL_HANDLE;
  GpuAllocation allocation;
  std::unique_ptr<RangeAllocator> ranges;
};

// One frame slot's indirect draw commands, rewritten by every frame that uses the slot.
struct IndirectBuffer {
  VkBuffer buffer = VK_NULL_HANDLE;
  GpuAllocation allocation;
  uint32_t capacity = 0, used = 0;  // in commands
};

struct FrameSlot {
  VkCommandPool commandPool = VK_NULL_HANDLE;
  VkCommandBuffer commandBuffer = VK_NULL_HANDLE;
  VkSemaphore imageAvailable = VK_NULL_HANDLE;
  VkSemaphore renderFinished = VK_NULL_HANDLE;
  VkFence fence = VK_NULL_HANDLE;
};

// One size-dependent image, recreated with the swapchain.
struct RenderTarget {
  VkImage image = VK_NULL_HANDLE;
  GpuAllocation allocation;
  VkImageView view = VK_NULL_HANDLE;
  VkImageLayout layout = VK_IMAGE_LAYOUT_UNDEFINED;
  uint32_t width = 0, height = 0;
};

// Where the last frame's CPU time went, in milliseconds.
struct FrameTiming {
  double wait = 0;           // fences, retired meshes and image acquisition
  double record = 0;         // command recording, of which:
  double recordShadows = 0;  // the shadow pass (planning included)
  double recordScene = 0;    // the scene pass
  double submit = 0;         // queue submission and presentation
};

// GPU time of each pass of the last finished frame, in milliseconds (timestamp queries;
// all 0 when the device has none). `final` includes the user interface.
struct PassTiming {
  bool measured = false;
  double shadows = 0, scene = 0, occlusion = 0, bloom = 0, exposure = 0, composite = 0, final = 0;
};

class VulkanRenderer : public Renderer {
 public:
  VulkanRenderer();
  ~VulkanRenderer() override;
  VulkanRenderer(const VulkanRenderer&) = delete;
  VulkanRenderer& operator=(const VulkanRenderer&) = delete;

  bool init(GLFWwindow* window, bool vsync) override;
  void shutdown() override;
  void setChunkMesh(ChunkKey chunk, const ChunkMesh& mesh) override;
  void setChunkTranslucentMesh(ChunkKey chunk, const ChunkMesh& mesh) override;
  void setChunkShadowMesh(ChunkKey chunk, const ChunkMesh& mesh) override;
  void removeChunkMeshes(ChunkKey chunk) override;
  void clearChunkMeshes() override;
  void setModelMesh(int index, const ChunkMesh& mesh) override;
  void setParticleMesh(const ChunkMesh& mesh) override;
  void setLighting(float daylight, float fogEnd, glm::vec3 sunDirection) override;
  void setRenderToggles(bool shadows, bool postProcessing) override;
  void onFramebufferResized() override;
  void beginUiFrame() override;
  void* uiTextureForLayer(int layer) const override;
  RendererStats stats() const override;
  void drawFrame(const glm::mat4& viewProjection, glm::vec3 cameraPosition,
                 const std::vector<EntityInstance>& entities,
                 const std::vector<EntityInstance>& particles) override;

  // Draws one frame and writes it as a PNG at `path` (folders created as needed); false
  // when there is no device or swapchain, or the file cannot be written.
  bool captureFrame(const glm::mat4& viewProjection, glm::vec3 cameraPosition,
                    const std::vector<EntityInstance>& entities,
                    const std::vector<EntityInstance>& particles, const std::string& path,
                    const CaptureInfo& info) override;

  // Chunk meshes (opaque and translucent) drawn by the last scene pass.
  int drawnChunkCount() const { return drawnChunks_; }
  // Index count / 3 over all opaque chunk meshes.
  uint64_t chunkTriangleCount() const;
  // Chunk meshes held (both kinds).
  size_t chunkMeshCount() const { return opaqueMeshes_.size() + translucentMeshes_.size(); }
  // Index count / 3 over the shadow meshes drawn instead of opaque ones.
  uint64_t shadowTriangleCount() const;
  size_t opaqueChunkMeshCount() const { return opaqueMeshes_.size(); }
  const FrameTiming& lastFrameTiming() const { return timing_; }
  const PassTiming& lastPassTiming() const { return passTiming_; }
  // Opaque chunk meshes that the maps of shadow cascade 0, 1, 2 hold, as of the last frame
  // (all 0 when it skipped the shadow pass).
  const std::array<int, 3>& shadowChunkDraws() const { return shadowDraws_; }
  // Draw commands the last frame recorded for chunk meshes (an indirect draw counts once).
  int chunkDrawCalls() const { return chunkDrawCalls_; }
  // True when the last frame ran the shadow pass.
  bool shadowPassRan() const { return shadowPassRan_; }
  // The cascades the last frame redrew; the others kept the map of an earlier frame.
  const std::array<bool, 3>& shadowRedraws() const { return shadowRedrawn_; }
  // The light matrices the last frame's shadow lookups used, one per cascade.
  const std::array<glm::mat4, 3>& shadowLookupMatrices() const { return shadowLookup_; }
  // Off: every cascade is redrawn every frame from the full opaque meshes, culled only by
  // its light volume (the reference the display tests compare the shortcuts with). On by
  // default; switching forgets the maps.
  void setShadowShortcuts(bool on);
  // The depth the shadow maps hold where `points` fall with the last frame's lookup
  // matrices: three values per point (cascade 0, 1, 2), -1 outside a map. Waits for the
  // device; empty without one.
  std::vector<float> sampleShadowMaps(const std::vector<glm::vec3>& points);
  const VisualSettings& visualSettings() const { return visual_; }
  GpuAllocatorStats allocatorStats() const;
  VkExtent2D extent() const { return extent_; }

 private:
  using ChunkMeshMap = FlatHashMap<ChunkKey, GpuMesh>;

  // vulkan_device.cpp
  void createInstance();
  void pickPhysicalDevice();
  void createDevice();
  void createUniformBuffers();
  void createFrameSlots();
  void immediateSubmit(const std::function<void(VkCommandBuffer)>& record);
  void transition(VkCommandBuffer cmd, VkImage image, VkImageLayout& tracked,
                  VkImageLayout newLayout, VkImageAspectFlags aspect, VkPipelineStageFlags srcStage,
                  VkPipelineStageFlags dstStage, VkAccessFlags srcAccess, VkAccessFlags dstAccess,
                  uint32_t layers = 1);
  void destroyAll();

  // vulkan_swapchain.cpp
  void createSwapchain();
  void destroySwapchain();
  void recreateSwapchain();
  void createDepthResources();
  void createRenderTarget(RenderTarget& target, VkFormat format, uint32_t width, uint32_t height,
                          VkImageUsageFlags usage, VkImageAspectFlags aspect);
  void destroyRenderTarget(RenderTarget& target);

  // vulkan_meshes.cpp
  GpuMesh uploadMesh(const ChunkMesh& mesh);
  // Into a shared mesh buffer (a new one when none has room); its own buffer when the
  // mesh is too big for one or no shared buffer can be made.
  GpuMesh uploadChunkMesh(const ChunkMesh& mesh);
  void createIndirectBuffers();
  void destroyMeshBuffers();
  // Draws chunk meshes in the given order: runs in one shared buffer as one indirect
  // draw, meshes with their own buffer one by one.
  void drawChunkMeshes(VkCommandBuffer cmd, const std::vector<const GpuMesh*>& meshes);
  void destroyMesh(GpuMesh& mesh);
  void retire(GpuMesh& mesh);
  void replaceChunkMesh(ChunkMeshMap& map, ChunkKey chunk, const ChunkMesh& mesh);
  void destroyRetired();
  void destroyAllMeshes();

  // vulkan_textures.cpp
  void createTextureArray();
  void createShadowMap();

  // vulkan_pipelines.cpp
  VkShaderModule loadShader(const std::string& file, const char* overrideName = nullptr);
  void createSceneDescriptors();
  void createBlockPipelines();
  void createPostPipelines();
  void writePostSet();
  VkPipeline createPipeline(VkPipelineLayout layout, VkShaderModule vertex, const char* vertexEntry,
                            VkShaderModule fragment, const char* fragmentEntry, bool chunkVertices,
                            VkFormat colourFormat, bool depthTest, bool depthWrite, bool alphaBlend,
                            bool additive = false, bool depthBias = false, bool uiVertices = false);
  void createPostTargets();
  void destroyPostTargets();

  // vulkan_shadows.cpp
  void createShadowPipeline();
  // Plans the cascade redraws of this frame (nothing when the pass is skipped) and returns
  // the matrices the lookups must use.
  std::array<glm::mat4, 3> planShadowPass(bool run, const CascadeSet& cascades,
                                          const glm::mat4& viewProjection, glm::vec3 cameraPosition,
                                          const std::vector<EntityInstance>& entities);
  void recordShadowPass(VkCommandBuffer cmd, const glm::mat4& viewProjection,
                        glm::vec3 cameraPosition, const std::vector<EntityInstance>& entities);

  // vulkan_post.cpp
  // Timestamp slots, one per pass boundary.
  enum TimestampSlot : uint32_t {
    kFrameStart,
    kShadowsDone,
    kSceneDone,
    kOcclusionDone,
    kBloomDone,
    kExposureDone,
    kCompositeDone,
    kFrameEnd,
    kTimestampCount
  };
  void createTimestampQueries();
  void writeTimestamp(VkCommandBuffer cmd, uint32_t slot);
  void readPassTimings();
  void recordPostEffects(VkCommandBuffer cmd);

  // vulkan_ui.cpp
  void createUi();
  void destroyUi();
  void uploadUiFont(VkCommandBuffer cmd);
  // Before the final pass: a new font atlas and this frame's UI vertices and indices.
  void prepareUi(VkCommandBuffer cmd);
  // Inside the final pass: the UI draw lists over the picture.
  void recordUi(VkCommandBuffer cmd);

  // vulkan_frame.cpp
  void recordFrame(VkCommandBuffer cmd, uint32_t imageIndex, const glm::mat4& viewProjection,
                   glm::vec3 cameraPosition, const std::vector<EntityInstance>& entities,
                   const std::vector<EntityInstance>& particles);
  void recordScenePass(VkCommandBuffer cmd, const glm::mat4& viewProjection,
                       glm::vec3 cameraPosition, const std::vector<EntityInstance>& entities,
                       const std::vector<EntityInstance>& particles);
  void recordPostPass(VkCommandBuffer cmd, RenderTarget& target, VkPipeline pipeline,
                      const std::array<float, 16>& push, bool load = false);
  void drawMesh(VkCommandBuffer cmd, const GpuMesh& mesh);

  // Core.
  GLFWwindow* window_ = nullptr;
  VkInstance instance_ = VK_NULL_HANDLE;
  VkDebugUtilsMessengerEXT debugMessenger_ = VK_NULL_HANDLE;
  VkSurfaceKHR surface_ = VK_NULL_HANDLE;
  VkPhysicalDevice physicalDevice_ = VK_NULL_HANDLE;
  VkDevice device_ = VK_NULL_HANDLE;
  uint32_t apiVersion_ = VK_API_VERSION_1_0;
  bool dynamicRenderingCore_ = false;
  uint32_t graphicsFamily_ = 0, presentFamily_ = 0;
  VkQueue graphicsQueue_ = VK_NULL_HANDLE, presentQueue_ = VK_NULL_HANDLE;
  std::string deviceName_;
  std::unique_ptr<GpuAllocator> allocator_;
  PFN_vkCmdBeginRendering cmdBeginRendering_ = nullptr;
  PFN_vkCmdEndRendering cmdEndRendering_ = nullptr;
  bool vsync_ = true;
  bool initialized_ = false;

  // Swapchain.
  VkSwapchainKHR swapchain_ = VK_NULL_HANDLE;
  VkFormat swapchainFormat_ = VK_FORMAT_UNDEFINED;
  VkFormat sceneColorFormat_ = VK_FORMAT_UNDEFINED;
  VkExtent2D extent_{0, 0};
  std::vector<VkImage> swapchainImages_;
  std::vector<VkImageView> swapchainViews_;
  // The same images seen as plain 8-bit values for the UI, when the device can make such
  // views of an sRGB swapchain (uiFormat_ is then that plain format); else empty, and
  // uiFormat_ is the swapchain format.
  bool mutableSwapchain_ = false;
  VkFormat uiFormat_ = VK_FORMAT_UNDEFINED;
  std::vector<VkImageView> uiViews_;
  std::vector<VkImageLayout> swapchainLayouts_;

  // Frames.
  std::array<FrameSlot, 2> frames_{};
  uint32_t currentFrame_ = 0;
  FrameTiming timing_;
  std::chrono::steady_clock::time_point startTime_;

  // Size-dependent targets.
  RenderTarget depthTarget_, sceneColorTarget_, compositeTarget_;
  RenderTarget occlusionTarget_, occlusionBlurTarget_, exposureTarget_;
  std::array<RenderTarget, 3> bloomTargets_{};

  // Shadow map (sampled by the block shaders; filled by the shadow pass).
  VkImage shadowImage_ = VK_NULL_HANDLE;
  GpuAllocation shadowAllocation_;
  VkImageView shadowView_ = VK_NULL_HANDLE;
  std::array<VkImageView, 3> shadowLayerViews_{};
  VkSampler shadowSampler_ = VK_NULL_HANDLE;
  VkImageLayout shadowLayout_ = VK_IMAGE_LAYOUT_UNDEFINED;

  // Block texture array.
  VkImage textureImage_ = VK_NULL_HANDLE;
  GpuAllocation textureAllocation_;
  VkImageView textureView_ = VK_NULL_HANDLE;
  std::vector<VkImageView> textureLayerViews_;
  VkSampler sampler_ = VK_NULL_HANDLE;

  // Uniform buffers, rewritten at the start of every frame.
  VkBuffer visualBuffer_ = VK_NULL_HANDLE, frameBuffer_ = VK_NULL_HANDLE;
  GpuAllocation visualAllocation_, frameAllocation_;

  // Descriptors and pipelines.
  VkDescriptorSetLayout descriptorSetLayout_ = VK_NULL_HANDLE;
  VkDescriptorPool descriptorPool_ = VK_NULL_HANDLE;
  VkDescriptorSet descriptorSet_ = VK_NULL_HANDLE;
  VkPipelineLayout pipelineLayout_ = VK_NULL_HANDLE;
  VkPipeline pipelineOpaque_ = VK_NULL_HANDLE, pipelineTranslucent_ = VK_NULL_HANDLE;
  VkSampler postSampler_ = VK_NULL_HANDLE;
  VkDescriptorSetLayout postSetLayout_ = VK_NULL_HANDLE;
  VkDescriptorPool postPool_ = VK_NULL_HANDLE;
  VkDescriptorSet postSet_ = VK_NULL_HANDLE;
  VkPipelineLayout postPipelineLayout_ = VK_NULL_HANDLE;
  VkPipeline pipelineComposite_ = VK_NULL_HANDLE, pipelineFinal_ = VK_NULL_HANDLE;
  VkPipelineLayout shadowPipelineLayout_ = VK_NULL_HANDLE;
  VkPipeline pipelineShadow_ = VK_NULL_HANDLE;
  VkPipeline pipelineOcclusion_ = VK_NULL_HANDLE, pipelineBlur_ = VK_NULL_HANDLE;
  VkPipeline pipelineExposure_ = VK_NULL_HANDLE;
  // The bloom chain's two pipelines, built once per level they read (down: scene,
  // bloom 0, bloom 1; up: bloom 1, bloom 2) so that no pass samples its own target.
  std::array<VkPipeline, 3> pipelineBloomDown_{};
  std::array<VkPipeline, 2> pipelineBloomUp_{};
  ShaderOverrides shaderOverrides_;  // held only until the pipelines exist

  // Pass timestamps: one pool slot per pass boundary.
  VkQueryPool timestampPool_ = VK_NULL_HANDLE;
  float timestampPeriod_ = 0;  // nanoseconds per tick; 0 without timestamps
  bool timestampsPending_ = false;
  PassTiming passTiming_;
  std::array<int, 3> shadowDraws_{};
  bool shadowPassRan_ = false;
  // Shadow maps kept between frames, and this frame's plan for them.
  ShadowCache shadowCache_;
  CascadeFrame cascadeFrame_;
  std::array<bool, 3> shadowRedrawn_{};
  std::array<glm::mat4, 3> shadowLookup_{};
  uint64_t chunkGeneration_ = 0;  // counts changes to the opaque chunk meshes
  bool shadowShortcuts_ = true;

  // Mesh store.
  ChunkMeshMap opaqueMeshes_, translucentMeshes_, shadowMeshes_;
  std::vector<GpuMesh> retired_;
  std::vector<GpuMesh> models_;
  GpuMesh particleMesh_;
  int drawnChunks_ = 0;
  std::vector<std::pair<float, const GpuMesh*>> opaqueOrder_;  // scene pass scratch
  std::vector<const GpuMesh*> drawList_;                       // pass scratch
  std::vector<MeshArena> arenas_;
  std::array<IndirectBuffer, 2> indirect_{};
  bool multiDrawIndirect_ = false;
  uint32_t maxDrawIndirectCount_ = 1;
  int chunkDrawCalls_ = 0;  // draw commands for chunk meshes in the last frame

  // Inputs.
  float daylight_ = 1.0f, fogEnd_ = 128.0f;
  glm::vec3 sunDirection_{0.0f, 1.0f, 0.0f};
  bool shadowsOn_ = true, postProcessingOn_ = true;
  VisualSettings visual_;

  // User interface: one pipeline, the font atlas, one descriptor set per block texture
  // layer (item icons), and per frame slot one host-visible buffer of vertices then indices.
  struct UiBuffer {
    VkBuffer buffer = VK_NULL_HANDLE;
    GpuAllocation allocation;
    VkDeviceSize size = 0;
  };
  VkDescriptorSetLayout uiSetLayout_ = VK_NULL_HANDLE;
  VkDescriptorPool uiPool_ = VK_NULL_HANDLE;
  VkPipelineLayout uiPipelineLayout_ = VK_NULL_HANDLE;
  VkPipeline uiPipeline_ = VK_NULL_HANDLE;
  VkSampler uiFontSampler_ = VK_NULL_HANDLE;
  VkImage uiFontImage_ = VK_NULL_HANDLE;
  GpuAllocation uiFontAllocation_;
  VkImageView uiFontView_ = VK_NULL_HANDLE;
  VkDescriptorSet uiFontSet_ = VK_NULL_HANDLE;
  VkBuffer uiStaging_ = VK_NULL_HANDLE;  // the last font upload; freed a frame later
  GpuAllocation uiStagingAllocation_;
  std::vector<VkDescriptorSet> uiLayerSets_;
  std::array<UiBuffer, 2> uiBuffers_{};
  VkDeviceSize uiIndexOffset_ = 0;
  bool uiPrepared_ = false;  // this frame has UI geometry to draw

  // Screenshot: present while a capture is pending.
  VkBuffer captureBuffer_ = VK_NULL_HANDLE;
  GpuAllocation captureAllocation_;
  VkExtent2D captureExtent_{0, 0};
  bool captureRecorded_ = false;
};
