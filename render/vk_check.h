#pragma once
// The renderer's failure rule: a failing call prints its own source text, the result and
// the line, then throws "vulkan failure" (caught once by init, otherwise by the caller).

#include <volk.h>

#include <cstdio>
#include <stdexcept>

[[noreturn]] inline void vulkanFailure(const char* call, VkResult result, int line) {
  std::fprintf(stderr, "vulkan: %s failed (%d) at line %d\n", call, static_cast<int>(result), line);
  throw std::runtime_error("vulkan failure");
}

#define VK_CHECK(call)                                                                \
  do {                                                                                \
    const VkResult vkCheckResult_ = (call);                                           \
    if (vkCheckResult_ != VK_SUCCESS) vulkanFailure(#call, vkCheckResult_, __LINE__); \
  } while (false)
