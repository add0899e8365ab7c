#pragma once
// The UI library's context: style, fonts and input. It runs with or without a GPU: the
// frame builds ImGui's draw lists, and the Vulkan renderer, when there is one, draws
// them. Input comes from the frame pass's InputRecord, so the window, the scripted modes
// and the tests drive the menus the same way.

#include <imgui.h>

#include <map>
#include <string>

#include "app/input.h"
#include "ui/ui_input_queue.h"

struct WidgetRect {
  ImVec2 min, max;
  ImVec2 centre() const { return {(min.x + max.x) * 0.5f, (min.y + max.y) * 0.5f}; }
};

class UiContext {
 public:
  // Creates and selects the context with the game's style and the fonts of the current
  // interface language.
  UiContext();
  ~UiContext();
  UiContext(const UiContext&) = delete;
  UiContext& operator=(const UiContext&) = delete;

  // Starts a frame: rebuilds the font atlas first when the interface language changed
  // (between frames is the only safe point), then feeds the input. With `mouseCaptured`
  // the cursor steers the camera and the UI sees no mouse.
  void beginFrame(const InputRecord& input, float dt, bool mouseCaptured);
  // Ends the frame; ImGui::GetDrawData() holds its draw lists until the next frame.
  void endFrame();

  // The language the current atlas was built for, and whether its Chinese font loaded.
  int fontLanguage() const { return fontLanguage_; }
  bool chineseFontLoaded() const { return chineseFontLoaded_; }
  // How many times the atlas was built.
  int fontBuilds() const { return fontBuilds_; }

  // Screen rectangles of the labelled widgets drawn last frame, recorded while
  // `recordWidgets` is set (menu tests click through them).
  bool recordWidgets = false;
  std::map<std::string, WidgetRect> widgets;
  // Opens the pause menu's settings section the next time it is drawn (scripted scenes).
  bool openSettings = false;
  // Where the Chinese font is read from.
  std::string chineseFontPath;

  ImGuiContext* context() const { return context_; }

 private:
  void rebuildFonts();
  void feedInput(const InputRecord& input, bool mouseCaptured);

  ImGuiContext* context_ = nullptr;
  ImVector<ImWchar> chineseRanges_;
  ImVector<ImWchar> titleRanges_;
  int fontLanguage_ = -1;
  bool chineseFontLoaded_ = false;
  int fontBuilds_ = 0;
  ImVec2 mouse_{-1.0e30f, -1.0e30f};
  UiInputQueue inputQueue_;
};

// The context of the frame being built (its ImGuiIO user data), or null.
UiContext* currentUiContext();
