#pragma once
// The start-up every windowed mode shares, in its fixed order: the game record and the
// saved worlds, the mods, the renderer for the window, the entity models, the sounds and
// the banner; and the shut-down in reverse.

#include "app/sounds.h"
#include "game/game.h"
#include "render/vulkan_renderer.h"

struct GLFWwindow;

struct WindowedGame {
  Game game;
  VulkanRenderer renderer;
  SoundBank sounds;
};

// False (the renderer has said why) when the renderer cannot start.
bool startWindowedGame(WindowedGame& windowed, GLFWwindow* window, bool vsync);
// Stops the mods, the mesh workers and the renderer.
void stopWindowedGame(WindowedGame& windowed);
