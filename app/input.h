#pragma once
// What the window saw since the previous pass: the only thing a frame pass reads from
// the outside world besides the clock. The window fills it from GLFW; tests and the
// scripted modes fill it by hand.
//
// Keys and buttons come twice: as the states they are in now, and as the presses and
// releases that led there, in order. A key tapped and released between two passes is
// up in the states but still a press in the events, so no tap is lost however slow the
// frames are. Drivers that only set states (held keys) keep working: a state that
// changed without events counts as one press or release.

#include <cstdint>
#include <string>
#include <vector>

#include <GLFW/glfw3.h>

// One press or release of a key (GLFW key code) or a mouse button (GLFW button number).
struct InputEvent {
  int code = 0;
  bool button = false;   // `code` is a mouse button
  bool pressed = false;  // press, else release
  // How many of the record's characters were typed before this event, so keys and
  // typed text can be replayed in the order they happened.
  uint32_t characterPosition = 0;
  double time = -1.0;  // game clock when it happened; -1: at the pass that reads it
};

struct InputRecord {
  std::vector<uint8_t> keys = std::vector<uint8_t>(GLFW_KEY_LAST + 1, 0);  // down states
  bool leftButton = false, rightButton = false;
  std::vector<InputEvent> events;  // presses and releases since the previous pass, in order
  // Cursor positions reported since the previous pass, in order.
  std::vector<double> cursorX, cursorY;
  std::vector<double> scroll;        // vertical offsets, one per event
  std::vector<uint32_t> characters;  // typed Unicode code points
  std::string clipboard;             // text to paste (read when Ctrl+V is pressed)
  int framebufferWidth = 1280, framebufferHeight = 720;
  bool closeRequested = false;

  bool down(int key) const { return key >= 0 && key < static_cast<int>(keys.size()) && keys[key]; }
  // A key press or release: the state and the event. Codes outside the key range are
  // ignored.
  void press(int key, double time = -1.0) { setKey(key, true, time); }
  void release(int key, double time = -1.0) { setKey(key, false, time); }
  void setKey(int key, bool pressed, double time = -1.0) {
    if (key < 0 || key >= static_cast<int>(keys.size())) return;
    keys[key] = pressed ? 1 : 0;
    events.push_back({key, false, pressed, static_cast<uint32_t>(characters.size()), time});
  }
  // A mouse button press or release; only the left and right buttons are kept.
  void setButton(int button, bool pressed, double time = -1.0) {
    if (button == GLFW_MOUSE_BUTTON_LEFT) leftButton = pressed;
    if (button == GLFW_MOUSE_BUTTON_RIGHT) rightButton = pressed;
    if (button != GLFW_MOUSE_BUTTON_LEFT && button != GLFW_MOUSE_BUTTON_RIGHT) return;
    events.push_back({button, true, pressed, static_cast<uint32_t>(characters.size()), time});
  }
  bool buttonDown(int button) const {
    return button == GLFW_MOUSE_BUTTON_LEFT ? leftButton
                                            : button == GLFW_MOUSE_BUTTON_RIGHT && rightButton;
  }
  // Whether the key (or button) was pressed at least once since the previous pass.
  bool pressedSince(int code, bool button = false) const {
    for (const InputEvent& e : events) {
      if (e.code == code && e.button == button && e.pressed) return true;
    }
    return false;
  }
  // Forgets the events (not the held keys and buttons) once a pass has used them.
  void clearEvents() {
    events.clear();
    cursorX.clear();
    cursorY.clear();
    scroll.clear();
    characters.clear();
    clipboard.clear();
  }
};
