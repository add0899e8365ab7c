#pragma once
// The game's screens drawn with ImGui: the Screens a frame pass draws in the interactive
// game, the scripted modes, the benchmarks and the menu tests. Each draw is one UI frame
// fed from the pass's InputRecord; with a Vulkan renderer the frame is drawn on top of
// the scene, without one only the draw lists are built.

#include <functional>

#include <glm/glm.hpp>

#include "app/input.h"
#include "app/screen_actions.h"
#include "ui/ui_context.h"

// The camera matrix for the game and the display's aspect ratio.
using CameraFunction = std::function<glm::mat4(const Game&, float aspect)>;

class ImGuiScreens : public Screens {
 public:
  // `input` is the record the driver hands to the frame pass; it must outlive the screens.
  ImGuiScreens(const InputRecord& input, CameraFunction camera);

  ScreenActions draw(Game& game) override;

  UiContext& ui() { return ui_; }
  const UiContext& ui() const { return ui_; }
  // Runs before each UI frame starts (the window's clipboard and cursor shapes).
  std::function<void()> platformFrame;

 private:
  void drawPlaying(Game& game, ScreenActions& actions);

  const InputRecord& input_;
  CameraFunction camera_;
  UiContext ui_;
};
