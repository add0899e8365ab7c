#include "app/play_mode.h"

#include <GLFW/glfw3.h>
#include <backends/imgui_impl_glfw.h>
#include <imgui.h>

#include <cstdio>
#include <memory>

#include "app/banner.h"
#include "app/frame_loop.h"
#include "app/settings_file.h"
#include "app/sounds.h"
#include "app/windowed_start.h"
#include "game/game.h"
#include "game/game_mod_context.h"
#include "game/lifecycle.h"
#include "game/models.h"
#include "platform/program_folder.h"
#include "platform/sound_player.h"
#include "render/vulkan_renderer.h"
#include "ui/imgui_screens.h"

namespace {

InputRecord& inputOf(GLFWwindow* window) {
  return *static_cast<InputRecord*>(glfwGetWindowUserPointer(window));
}

// Presses and releases go into the record in order, stamped with the game clock; the
// system's auto-repeat is not a press (typed characters still repeat).
void onKey(GLFWwindow* window, int key, int, int action, int) {
  if (key < 0 || key > GLFW_KEY_LAST) return;
  if (action == GLFW_PRESS) inputOf(window).press(key, glfwGetTime());
  if (action == GLFW_RELEASE) inputOf(window).release(key, glfwGetTime());
}

void onButton(GLFWwindow* window, int button, int action, int) {
  if (action != GLFW_PRESS && action != GLFW_RELEASE) return;
  inputOf(window).setButton(button, action == GLFW_PRESS, glfwGetTime());
}

void onCursor(GLFWwindow* window, double x, double y) {
  inputOf(window).cursorX.push_back(x);
  inputOf(window).cursorY.push_back(y);
}

void onScroll(GLFWwindow* window, double, double y) {
  inputOf(window).scroll.push_back(y);
}

void onCharacter(GLFWwindow* window, unsigned int codepoint) {
  inputOf(window).characters.push_back(codepoint);
}

void installCallbacks(GLFWwindow* window, InputRecord& input) {
  glfwSetWindowUserPointer(window, &input);
  glfwSetKeyCallback(window, onKey);
  glfwSetMouseButtonCallback(window, onButton);
  glfwSetCursorPosCallback(window, onCursor);
  glfwSetScrollCallback(window, onScroll);
  glfwSetCharCallback(window, onCharacter);
}

// What the window knows besides its callbacks: size, close request, clipboard.
void pollWindow(GLFWwindow* window, InputRecord& input) {
  glfwPollEvents();
  glfwGetFramebufferSize(window, &input.framebufferWidth, &input.framebufferHeight);
  input.closeRequested = glfwWindowShouldClose(window) == GLFW_TRUE;
  // Ctrl + V, even when both were let go again before this pass.
  auto pressed = [&](int key) { return input.down(key) || input.pressedSince(key); };
  const bool ctrl = pressed(GLFW_KEY_LEFT_CONTROL) || pressed(GLFW_KEY_RIGHT_CONTROL);
  if (ctrl && pressed(GLFW_KEY_V)) {
    const char* text = glfwGetClipboardString(window);
    input.clipboard = text != nullptr ? text : "";
  }
}

void updateCursorMode(GLFWwindow* window, const Game& game) {
  const bool captured = game.screen == ScreenPlaying && !game.chat.open && !game.inventory.open;
  const int mode = captured ? GLFW_CURSOR_DISABLED : GLFW_CURSOR_NORMAL;
  if (glfwGetInputMode(window, GLFW_CURSOR) != mode) glfwSetInputMode(window, GLFW_CURSOR, mode);
}

}  // namespace

int runPlayMode(GLFWwindow* window) {
  auto windowed = std::make_unique<WindowedGame>();
  Game& game = windowed->game;
  InputRecord input;
  installCallbacks(window, input);
  // The player's own settings: only the interactive game keeps them between starts.
  SettingsKeeper settings(dataFolder("settings.txt"), game);
  if (!startWindowedGame(*windowed, window, true)) return 1;
  SoundPlayer speaker;

  ImGuiScreens screens(input, cameraMatrix);
  // The GLFW back end only lends the clipboard and the cursor shapes: input reaches the
  // UI through the InputRecord like every other driver's.
  ImGui_ImplGlfw_InitForVulkan(window, false);
  screens.platformFrame = [] { ImGui_ImplGlfw_NewFrame(); };
  for (;;) {
    pollWindow(window, input);
    if (input.closeRequested) break;
    const PassResult pass = runFramePass(game, input, glfwGetTime(), windowed->renderer, screens);
    settings.update(game, glfwGetTime());
    for (int id : game.pendingSounds) playSound(speaker, windowed->sounds, id);
    game.pendingSounds.clear();
    if (pass.quit) break;
    if (pass.minimised) {
      glfwWaitEvents();
      continue;
    }
    updateCursorMode(window, game);
  }

  if (game.world && !game.worldName.empty() && game.net.role != NetClient) saveGame(game);
  settings.flush(game);
  stopWindowedGame(*windowed);
  ImGui_ImplGlfw_Shutdown();
  return 0;
}
