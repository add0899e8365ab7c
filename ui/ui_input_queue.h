#pragma once
// ImGui 1.86 reads keys and mouse buttons as states, once a frame. A click or a key tap
// that both began and ended between two frames would never be seen, so this queue
// hands the presses and releases of the pass's InputRecord to the UI one change per
// frame: the press in one frame, its release in the next.

#include <cstddef>
#include <deque>
#include <vector>

#include "app/input.h"

class UiInputQueue {
 public:
  // Takes the record's events (or, for a driver that only sets states, the changed
  // states) and moves every key and button on by at most one change.
  void advance(const InputRecord& input);

  // What the UI sees this frame.
  bool keyDown(int key) const;
  bool buttonDown(int button) const;

 private:
  struct Line {
    bool shown = false;
    std::deque<bool> pending;  // states still to show, oldest first
  };
  static void step(Line& line, bool state);

  std::vector<Line> keys_;
  Line buttons_[2];  // left, right
};
