#include "app/window.h"

#include <GLFW/glfw3.h>

#include <cstdio>

#include "platform/version.h"

bool initWindowSystem() {
  if (glfwInit() != GLFW_TRUE) {
    std::fprintf(stderr, "failed to initialize GLFW\n");
    return false;
  }
  return true;
}

void shutdownWindowSystem() {
  glfwTerminate();
}

GLFWwindow* createGameWindow(bool visible) {
  glfwDefaultWindowHints();
  glfwWindowHint(GLFW_CLIENT_API, GLFW_NO_API);  // the renderer makes its own surface
  glfwWindowHint(GLFW_RESIZABLE, GLFW_TRUE);
  glfwWindowHint(GLFW_VISIBLE, visible ? GLFW_TRUE : GLFW_FALSE);
  GLFWwindow* window = glfwCreateWindow(1280, 720, kWindowTitle, nullptr, nullptr);
  if (window == nullptr) {
    std::fprintf(stderr, "failed to create window\n");
    return nullptr;
  }
  glfwSetInputMode(window, GLFW_CURSOR, GLFW_CURSOR_NORMAL);
  if (glfwRawMouseMotionSupported()) glfwSetInputMode(window, GLFW_RAW_MOUSE_MOTION, GLFW_TRUE);
  return window;
}

void destroyGameWindow(GLFWwindow* window) {
  if (window != nullptr) glfwDestroyWindow(window);
}
