#pragma once
// What the window saw since the previous pass: the only thing a frame pass reads from
// the outside world besides the clock. The window fills it from GLFW; tests and the
// scripted modes fill it by hand.

#include <cstdint>
#include <string>
#include <vector>

#include <GLFW/glfw3.h>

struct InputRecord {
  std::vector<uint8_t> keys = std::vector<uint8_t>(GLFW_KEY_LAST + 1, 0);  // down states
  bool leftButton = false, rightButton = false;
  // Cursor positions reported since the previous pass, in order.
  std::vector<double> cursorX, cursorY;
  std::vector<double> scroll;        // vertical offsets, one per event
  std::vector<uint32_t> characters;  // typed Unicode code points
  std::string clipboard;             // text to paste (read when Ctrl+V is pressed)
  int framebufferWidth = 1280, framebufferHeight = 720;
  bool closeRequested = false;

  bool down(int key) const { return key >= 0 && key < static_cast<int>(keys.size()) && keys[key]; }
  void press(int key) { keys[key] = 1; }
  void release(int key) { keys[key] = 0; }
  // Forgets the events (not the held keys and buttons) once a pass has used them.
  void clearEvents() {
    cursorX.clear();
    cursorY.clear();
    scroll.clear();
    characters.clear();
    clipboard.clear();
  }
};
