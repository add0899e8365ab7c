// Renderer start-up and shut-down: instance with the validation layer when installed,
// device choice, logical device and queues, uniform buffers, frame slots, immediate
// submission and tracked layout transitions.
//
// Sections: init, instance, physical device, logical device, buffers and frame slots,
// immediate submission, transitions, shutdown.

// volk first: GLFW declares its Vulkan helpers only when the Vulkan types are known.
#include <volk.h>

#include <GLFW/glfw3.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "platform/program_folder.h"
#include "render/vk_check.h"
#include "render/vulkan_renderer.h"
#include "world/block_registry.h"

namespace {

VKAPI_ATTR VkBool32 VKAPI_CALL printValidation(VkDebugUtilsMessageSeverityFlagBitsEXT severity,
                                               VkDebugUtilsMessageTypeFlagsEXT,
                                               const VkDebugUtilsMessengerCallbackDataEXT* data,
                                               void*) {
  if (severity >= VK_DEBUG_UTILS_MESSAGE_SEVERITY_WARNING_BIT_EXT) {
    std::fprintf(stderr, "[validation] %s\n", data->pMessage);
  }
  return VK_FALSE;
}

bool hasExtension(const std::vector<VkExtensionProperties>& list, const char* name) {
  for (const auto& e : list) {
    if (std::strcmp(e.extensionName, name) == 0) return true;
  }
  return false;
}

uint32_t loaderVersion() {
  const uint32_t version = volkGetInstanceVersion();
  return version == 0 ? VK_API_VERSION_1_0 : std::min(version, VK_API_VERSION_1_3);
}

}  // namespace

VulkanRenderer::VulkanRenderer() : startTime_(std::chrono::steady_clock::now()) {}

VulkanRenderer::~VulkanRenderer() {
  shutdown();
}

// --- init ---

bool VulkanRenderer::init(GLFWwindow* window, bool vsync) {
  window_ = window;
  vsync_ = vsync;
  if (volkInitialize() != VK_SUCCESS) {
    std::fprintf(stderr, "vulkan: loader not available\n");
    return false;
  }
  try {
    createInstance();
    VK_CHECK(glfwCreateWindowSurface(instance_, window_, nullptr, &surface_));
    pickPhysicalDevice();
    createDevice();
    allocator_ = std::make_unique<GpuAllocator>(physicalDevice_, device_);
    visual_ = loadVisualSettings(dataFolder("resourcepacks"));
    shaderOverrides_ = loadShaderOverrides(dataFolder("resourcepacks"));
    createUniformBuffers();
    createIndirectBuffers();
    createSwapchain();
    createTextureArray();
    createShadowMap();
    models_.assign(blocks().blockCount() + 3, GpuMesh{});
    createSceneDescriptors();
    createBlockPipelines();
    createShadowPipeline();
    createPostPipelines();
    createUi();
    shaderOverrides_.clear();
    createTimestampQueries();
    createFrameSlots();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "vulkan: init failed: %s\n", error.what());
    destroyAll();
    return false;
  }
  initialized_ = true;
  return true;
}

// --- instance ---

void VulkanRenderer::createInstance() {
  VkApplicationInfo app{VK_STRUCTURE_TYPE_APPLICATION_INFO};
  app.pApplicationName = "Orvane";
  app.applicationVersion = VK_MAKE_VERSION(0, 1, 0);
  app.pEngineName = "Orvane";
  app.engineVersion = VK_MAKE_VERSION(0, 1, 0);
  app.apiVersion = loaderVersion();

  uint32_t glfwCount = 0;
  const char** glfwExtensions = glfwGetRequiredInstanceExtensions(&glfwCount);
  std::vector<const char*> extensions(glfwExtensions, glfwExtensions + glfwCount);
  std::vector<const char*> layers;

  uint32_t layerCount = 0;
  vkEnumerateInstanceLayerProperties(&layerCount, nullptr);
  std::vector<VkLayerProperties> available(layerCount);
  vkEnumerateInstanceLayerProperties(&layerCount, available.data());
  bool validation = false, debugUtils = false;
  for (const auto& layer : available) {
    if (std::strcmp(layer.layerName, "VK_LAYER_KHRONOS_validation") == 0) validation = true;
  }
  if (validation) {
    layers.push_back("VK_LAYER_KHRONOS_validation");
    uint32_t count = 0;
    vkEnumerateInstanceExtensionProperties(nullptr, &count, nullptr);
    std::vector<VkExtensionProperties> instanceExtensions(count);
    vkEnumerateInstanceExtensionProperties(nullptr, &count, instanceExtensions.data());
    if (hasExtension(instanceExtensions, VK_EXT_DEBUG_UTILS_EXTENSION_NAME)) {
      debugUtils = true;
      extensions.push_back(VK_EXT_DEBUG_UTILS_EXTENSION_NAME);
    }
  }

  VkInstanceCreateInfo createInfo{VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO};
  createInfo.pApplicationInfo = &app;
  createInfo.enabledExtensionCount = static_cast<uint32_t>(extensions.size());
  createInfo.ppEnabledExtensionNames = extensions.data();
  createInfo.enabledLayerCount = static_cast<uint32_t>(layers.size());
  createInfo.ppEnabledLayerNames = layers.data();
  VK_CHECK(vkCreateInstance(&createInfo, nullptr, &instance_));
  volkLoadInstance(instance_);

  if (validation && debugUtils) {
    VkDebugUtilsMessengerCreateInfoEXT info{
        VK_STRUCTURE_TYPE_DEBUG_UTILS_MESSENGER_CREATE_INFO_EXT};
    info.messageSeverity = VK_DEBUG_UTILS_MESSAGE_SEVERITY_WARNING_BIT_EXT |
                           VK_DEBUG_UTILS_MESSAGE_SEVERITY_ERROR_BIT_EXT;
    info.messageType = VK_DEBUG_UTILS_MESSAGE_TYPE_GENERAL_BIT_EXT |
                       VK_DEBUG_UTILS_MESSAGE_TYPE_VALIDATION_BIT_EXT |
                       VK_DEBUG_UTILS_MESSAGE_TYPE_PERFORMANCE_BIT_EXT;
    info.pfnUserCallback = printValidation;
    if (vkCreateDebugUtilsMessengerEXT(instance_, &info, nullptr, &debugMessenger_) != VK_SUCCESS) {
      debugMessenger_ = VK_NULL_HANDLE;
    }
  }
}

// --- physical device ---

void VulkanRenderer::pickPhysicalDevice() {
  uint32_t count = 0;
  VK_CHECK(vkEnumeratePhysicalDevices(instance_, &count, nullptr));
  if (count == 0) throw std::runtime_error("no Vulkan device");
  std::vector<VkPhysicalDevice> devices(count);
  VK_CHECK(vkEnumeratePhysicalDevices(instance_, &count, devices.data()));

  const uint32_t instanceVersion = loaderVersion();
  int bestScore = -1;
  for (VkPhysicalDevice device : devices) {
    VkPhysicalDeviceProperties properties;
    vkGetPhysicalDeviceProperties(device, &properties);
    const uint32_t version = std::min(instanceVersion, properties.apiVersion);

    uint32_t familyCount = 0;
    vkGetPhysicalDeviceQueueFamilyProperties(device, &familyCount, nullptr);
    std::vector<VkQueueFamilyProperties> families(familyCount);
    vkGetPhysicalDeviceQueueFamilyProperties(device, &familyCount, families.data());
    int graphics = -1, present = -1;
    for (uint32_t i = 0; i < familyCount; ++i) {
      if (graphics < 0 && (families[i].queueFlags & VK_QUEUE_GRAPHICS_BIT) != 0) {
        graphics = static_cast<int>(i);
      }
      VkBool32 canPresent = VK_FALSE;
      vkGetPhysicalDeviceSurfaceSupportKHR(device, i, surface_, &canPresent);
      if (present < 0 && canPresent) present = static_cast<int>(i);
    }
    uint32_t extensionCount = 0;
    vkEnumerateDeviceExtensionProperties(device, nullptr, &extensionCount, nullptr);
    std::vector<VkExtensionProperties> extensions(extensionCount);
    vkEnumerateDeviceExtensionProperties(device, nullptr, &extensionCount, extensions.data());
    if (graphics < 0 || present < 0 || !hasExtension(extensions, VK_KHR_SWAPCHAIN_EXTENSION_NAME)) {
      continue;
    }

    bool dynamicRendering = false;
    VkPhysicalDeviceFeatures2 features{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FEATURES_2};
    if (version >= VK_API_VERSION_1_3) {
      VkPhysicalDeviceVulkan13Features v13{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_3_FEATURES};
      features.pNext = &v13;
      vkGetPhysicalDeviceFeatures2(device, &features);
      dynamicRendering = v13.dynamicRendering == VK_TRUE;
    } else if (vkGetPhysicalDeviceFeatures2 != nullptr) {
      VkPhysicalDeviceDynamicRenderingFeatures block{
          VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_DYNAMIC_RENDERING_FEATURES};
      features.pNext = &block;
      vkGetPhysicalDeviceFeatures2(device, &features);
      dynamicRendering = block.dynamicRendering == VK_TRUE &&
                         hasExtension(extensions, VK_KHR_DYNAMIC_RENDERING_EXTENSION_NAME);
    }
    if (!dynamicRendering) continue;

    const int score = static_cast<int>(VK_API_VERSION_MINOR(version)) +
                      (properties.deviceType == VK_PHYSICAL_DEVICE_TYPE_DISCRETE_GPU ? 1000 : 500);
    if (score > bestScore) {
      bestScore = score;
      physicalDevice_ = device;
      apiVersion_ = version;
      graphicsFamily_ = static_cast<uint32_t>(graphics);
      presentFamily_ = static_cast<uint32_t>(present);
      deviceName_ = properties.deviceName;
    }
  }
  if (physicalDevice_ == VK_NULL_HANDLE) {
    throw std::runtime_error("no device with Vulkan dynamic rendering support");
  }
  dynamicRenderingCore_ = apiVersion_ >= VK_API_VERSION_1_3;
  std::printf("GPU: %s (Vulkan %u.%u.%u)\n", deviceName_.c_str(), VK_API_VERSION_MAJOR(apiVersion_),
              VK_API_VERSION_MINOR(apiVersion_), VK_API_VERSION_PATCH(apiVersion_));
}

// --- logical device ---

void VulkanRenderer::createDevice() {
  const float priority = 1.0f;
  std::vector<VkDeviceQueueCreateInfo> queues;
  for (uint32_t family : {graphicsFamily_, presentFamily_}) {
    if (!queues.empty() && family == graphicsFamily_) continue;
    VkDeviceQueueCreateInfo queue{VK_STRUCTURE_TYPE_DEVICE_QUEUE_CREATE_INFO};
    queue.queueFamilyIndex = family;
    queue.queueCount = 1;
    queue.pQueuePriorities = &priority;
    queues.push_back(queue);
  }
  uint32_t extensionCount = 0;
  vkEnumerateDeviceExtensionProperties(physicalDevice_, nullptr, &extensionCount, nullptr);
  std::vector<VkExtensionProperties> available(extensionCount);
  vkEnumerateDeviceExtensionProperties(physicalDevice_, nullptr, &extensionCount, available.data());
  std::vector<const char*> extensions = {VK_KHR_SWAPCHAIN_EXTENSION_NAME};
  if (hasExtension(available, VK_KHR_DYNAMIC_RENDERING_EXTENSION_NAME)) {
    extensions.push_back(VK_KHR_DYNAMIC_RENDERING_EXTENSION_NAME);
  }
  // A second, plain view of the swapchain images lets the UI blend the way its colours
  // were chosen (see vulkan_ui.cpp).
  mutableSwapchain_ = hasExtension(available, VK_KHR_SWAPCHAIN_MUTABLE_FORMAT_EXTENSION_NAME) &&
                      hasExtension(available, VK_KHR_IMAGE_FORMAT_LIST_EXTENSION_NAME) &&
                      hasExtension(available, VK_KHR_MAINTENANCE2_EXTENSION_NAME);
  if (mutableSwapchain_) {
    for (const char* name :
         {VK_KHR_SWAPCHAIN_MUTABLE_FORMAT_EXTENSION_NAME, VK_KHR_IMAGE_FORMAT_LIST_EXTENSION_NAME,
          VK_KHR_MAINTENANCE2_EXTENSION_NAME}) {
      extensions.push_back(name);
    }
  }

  VkPhysicalDeviceVulkan13Features v13{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_3_FEATURES};
  v13.dynamicRendering = VK_TRUE;
  VkPhysicalDeviceDynamicRenderingFeatures block{
      VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_DYNAMIC_RENDERING_FEATURES};
  block.dynamicRendering = VK_TRUE;

  // Many draws from one indirect buffer in a single command, where the device can.
  VkPhysicalDeviceFeatures supported{};
  vkGetPhysicalDeviceFeatures(physicalDevice_, &supported);
  VkPhysicalDeviceFeatures enabled{};
  enabled.multiDrawIndirect = supported.multiDrawIndirect;
  multiDrawIndirect_ = supported.multiDrawIndirect == VK_TRUE;
  VkPhysicalDeviceProperties properties{};
  vkGetPhysicalDeviceProperties(physicalDevice_, &properties);
  maxDrawIndirectCount_ = multiDrawIndirect_ ? properties.limits.maxDrawIndirectCount : 1;

  VkDeviceCreateInfo createInfo{VK_STRUCTURE_TYPE_DEVICE_CREATE_INFO};
  createInfo.pNext = dynamicRenderingCore_ ? static_cast<void*>(&v13) : static_cast<void*>(&block);
  createInfo.pEnabledFeatures = &enabled;
  createInfo.queueCreateInfoCount = static_cast<uint32_t>(queues.size());
  createInfo.pQueueCreateInfos = queues.data();
  createInfo.enabledExtensionCount = static_cast<uint32_t>(extensions.size());
  createInfo.ppEnabledExtensionNames = extensions.data();
  VK_CHECK(vkCreateDevice(physicalDevice_, &createInfo, nullptr, &device_));
  volkLoadDevice(device_);
  vkGetDeviceQueue(device_, graphicsFamily_, 0, &graphicsQueue_);
  vkGetDeviceQueue(device_, presentFamily_, 0, &presentQueue_);

  const auto fetch = [this](const char* name, const char* fallback) {
    PFN_vkVoidFunction f = vkGetDeviceProcAddr(device_, name);
    return f != nullptr ? f : vkGetDeviceProcAddr(device_, fallback);
  };
  cmdBeginRendering_ = reinterpret_cast<PFN_vkCmdBeginRendering>(
      fetch("vkCmdBeginRendering", "vkCmdBeginRenderingKHR"));
  cmdEndRendering_ =
      reinterpret_cast<PFN_vkCmdEndRendering>(fetch("vkCmdEndRendering", "vkCmdEndRenderingKHR"));
  if (cmdBeginRendering_ == nullptr || cmdEndRendering_ == nullptr) {
    throw std::runtime_error("dynamic rendering entry points unavailable");
  }
}

// --- buffers and frame slots ---

void VulkanRenderer::createUniformBuffers() {
  VkBufferCreateInfo bufferInfo{VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
  bufferInfo.usage = VK_BUFFER_USAGE_UNIFORM_BUFFER_BIT | VK_BUFFER_USAGE_TRANSFER_DST_BIT;
  bufferInfo.size = 32;
  VK_CHECK(allocator_->createBuffer(bufferInfo, MemoryUse::DeviceLocal, &visualBuffer_,
                                    &visualAllocation_));
  bufferInfo.size = 416;
  VK_CHECK(allocator_->createBuffer(bufferInfo, MemoryUse::DeviceLocal, &frameBuffer_,
                                    &frameAllocation_));
}

void VulkanRenderer::createFrameSlots() {
  for (FrameSlot& frame : frames_) {
    VkCommandPoolCreateInfo poolInfo{VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO};
    poolInfo.flags = VK_COMMAND_POOL_CREATE_RESET_COMMAND_BUFFER_BIT;
    poolInfo.queueFamilyIndex = graphicsFamily_;
    VK_CHECK(vkCreateCommandPool(device_, &poolInfo, nullptr, &frame.commandPool));
    VkCommandBufferAllocateInfo allocateInfo{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
    allocateInfo.commandPool = frame.commandPool;
    allocateInfo.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
    allocateInfo.commandBufferCount = 1;
    VK_CHECK(vkAllocateCommandBuffers(device_, &allocateInfo, &frame.commandBuffer));
    VkSemaphoreCreateInfo semaphoreInfo{VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO};
    VK_CHECK(vkCreateSemaphore(device_, &semaphoreInfo, nullptr, &frame.imageAvailable));
    VK_CHECK(vkCreateSemaphore(device_, &semaphoreInfo, nullptr, &frame.renderFinished));
    VkFenceCreateInfo fenceInfo{VK_STRUCTURE_TYPE_FENCE_CREATE_INFO};
    fenceInfo.flags = VK_FENCE_CREATE_SIGNALED_BIT;
    VK_CHECK(vkCreateFence(device_, &fenceInfo, nullptr, &frame.fence));
  }
}

// --- immediate submission ---

void VulkanRenderer::immediateSubmit(const std::function<void(VkCommandBuffer)>& record) {
  VkCommandPool pool = VK_NULL_HANDLE;
  VkFence fence = VK_NULL_HANDLE;
  // The pool and fence go away even when a step fails.
  struct Cleanup {
    VkDevice device;
    VkCommandPool& pool;
    VkFence& fence;
    ~Cleanup() {
      if (fence != VK_NULL_HANDLE) vkDestroyFence(device, fence, nullptr);
      if (pool != VK_NULL_HANDLE) vkDestroyCommandPool(device, pool, nullptr);
    }
  } cleanup{device_, pool, fence};

  VkCommandPoolCreateInfo poolInfo{VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO};
  poolInfo.flags = VK_COMMAND_POOL_CREATE_TRANSIENT_BIT;
  poolInfo.queueFamilyIndex = graphicsFamily_;
  VK_CHECK(vkCreateCommandPool(device_, &poolInfo, nullptr, &pool));
  VkCommandBufferAllocateInfo allocateInfo{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
  allocateInfo.commandPool = pool;
  allocateInfo.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
  allocateInfo.commandBufferCount = 1;
  VkCommandBuffer cmd = VK_NULL_HANDLE;
  VK_CHECK(vkAllocateCommandBuffers(device_, &allocateInfo, &cmd));
  VkCommandBufferBeginInfo beginInfo{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
  beginInfo.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
  VK_CHECK(vkBeginCommandBuffer(cmd, &beginInfo));
  record(cmd);
  VK_CHECK(vkEndCommandBuffer(cmd));
  VkFenceCreateInfo fenceInfo{VK_STRUCTURE_TYPE_FENCE_CREATE_INFO};
  VK_CHECK(vkCreateFence(device_, &fenceInfo, nullptr, &fence));
  VkSubmitInfo submitInfo{VK_STRUCTURE_TYPE_SUBMIT_INFO};
  submitInfo.commandBufferCount = 1;
  submitInfo.pCommandBuffers = &cmd;
  VK_CHECK(vkQueueSubmit(graphicsQueue_, 1, &submitInfo, fence));
  VK_CHECK(vkWaitForFences(device_, 1, &fence, VK_TRUE, UINT64_MAX));
}

// --- transitions ---

void VulkanRenderer::transition(VkCommandBuffer cmd, VkImage image, VkImageLayout& tracked,
                                VkImageLayout newLayout, VkImageAspectFlags aspect,
                                VkPipelineStageFlags srcStage, VkPipelineStageFlags dstStage,
                                VkAccessFlags srcAccess, VkAccessFlags dstAccess, uint32_t layers) {
  if (tracked == newLayout) return;
  if (tracked == VK_IMAGE_LAYOUT_UNDEFINED) {
    srcAccess = 0;
    srcStage = VK_PIPELINE_STAGE_TOP_OF_PIPE_BIT;
  }
  VkImageMemoryBarrier barrier{VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER};
  barrier.srcAccessMask = srcAccess;
  barrier.dstAccessMask = dstAccess;
  barrier.oldLayout = tracked;
  barrier.newLayout = newLayout;
  barrier.srcQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
  barrier.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
  barrier.image = image;
  barrier.subresourceRange = {aspect, 0, 1, 0, layers};
  vkCmdPipelineBarrier(cmd, srcStage, dstStage, 0, 0, nullptr, 0, nullptr, 1, &barrier);
  tracked = newLayout;
}

// --- shutdown ---

void VulkanRenderer::shutdown() {
  if (!initialized_ && device_ == VK_NULL_HANDLE && instance_ == VK_NULL_HANDLE) return;
  initialized_ = false;
  destroyAll();
}

void VulkanRenderer::destroyAll() {
  if (device_ != VK_NULL_HANDLE) {
    vkDeviceWaitIdle(device_);
    destroyAllMeshes();
    destroyMeshBuffers();
    destroyUi();
    if (captureBuffer_ != VK_NULL_HANDLE) {
      allocator_->destroyBuffer(captureBuffer_, captureAllocation_);
      captureBuffer_ = VK_NULL_HANDLE;
    }
    for (FrameSlot& frame : frames_) {
      if (frame.imageAvailable) vkDestroySemaphore(device_, frame.imageAvailable, nullptr);
      if (frame.renderFinished) vkDestroySemaphore(device_, frame.renderFinished, nullptr);
      if (frame.fence) vkDestroyFence(device_, frame.fence, nullptr);
      if (frame.commandPool) vkDestroyCommandPool(device_, frame.commandPool, nullptr);
      frame = FrameSlot{};
    }
    for (VkPipeline* pipeline :
         {&pipelineOpaque_, &pipelineTranslucent_, &pipelineComposite_, &pipelineFinal_,
          &pipelineShadow_, &pipelineOcclusion_, &pipelineBlur_, &pipelineExposure_,
          &pipelineBloomDown_[0], &pipelineBloomDown_[1], &pipelineBloomDown_[2],
          &pipelineBloomUp_[0], &pipelineBloomUp_[1]}) {
      if (*pipeline) vkDestroyPipeline(device_, *pipeline, nullptr);
      *pipeline = VK_NULL_HANDLE;
    }
    shaderOverrides_.clear();
    if (timestampPool_) vkDestroyQueryPool(device_, timestampPool_, nullptr);
    timestampPool_ = VK_NULL_HANDLE;
    timestampsPending_ = false;
    for (VkPipelineLayout* layout :
         {&pipelineLayout_, &postPipelineLayout_, &shadowPipelineLayout_}) {
      if (*layout) vkDestroyPipelineLayout(device_, *layout, nullptr);
      *layout = VK_NULL_HANDLE;
    }
    for (VkDescriptorPool* pool : {&descriptorPool_, &postPool_}) {
      if (*pool) vkDestroyDescriptorPool(device_, *pool, nullptr);
      *pool = VK_NULL_HANDLE;
    }
    descriptorSet_ = postSet_ = VK_NULL_HANDLE;
    for (VkDescriptorSetLayout* layout : {&descriptorSetLayout_, &postSetLayout_}) {
      if (*layout) vkDestroyDescriptorSetLayout(device_, *layout, nullptr);
      *layout = VK_NULL_HANDLE;
    }
    for (VkSampler* sampler : {&sampler_, &shadowSampler_, &postSampler_}) {
      if (*sampler) vkDestroySampler(device_, *sampler, nullptr);
      *sampler = VK_NULL_HANDLE;
    }
    for (VkImageView& view : textureLayerViews_) vkDestroyImageView(device_, view, nullptr);
    textureLayerViews_.clear();
    for (VkImageView* view : {&textureView_, &shadowView_, &shadowLayerViews_[0],
                              &shadowLayerViews_[1], &shadowLayerViews_[2]}) {
      if (*view) vkDestroyImageView(device_, *view, nullptr);
      *view = VK_NULL_HANDLE;
    }
    if (allocator_) {
      allocator_->destroyImage(textureImage_, textureAllocation_);
      allocator_->destroyImage(shadowImage_, shadowAllocation_);
      allocator_->destroyBuffer(visualBuffer_, visualAllocation_);
      allocator_->destroyBuffer(frameBuffer_, frameAllocation_);
    }
    textureImage_ = shadowImage_ = VK_NULL_HANDLE;
    visualBuffer_ = frameBuffer_ = VK_NULL_HANDLE;
    shadowLayout_ = VK_IMAGE_LAYOUT_UNDEFINED;
    destroySwapchain();
    allocator_.reset();
    vkDestroyDevice(device_, nullptr);
    device_ = VK_NULL_HANDLE;
  }
  if (instance_ != VK_NULL_HANDLE) {
    if (debugMessenger_) vkDestroyDebugUtilsMessengerEXT(instance_, debugMessenger_, nullptr);
    if (surface_) vkDestroySurfaceKHR(instance_, surface_, nullptr);
    vkDestroyInstance(instance_, nullptr);
  }
  debugMessenger_ = VK_NULL_HANDLE;
  surface_ = VK_NULL_HANDLE;
  instance_ = VK_NULL_HANDLE;
  physicalDevice_ = VK_NULL_HANDLE;
  // This volk has no way to unload the loader library; it stays for the process.
}
