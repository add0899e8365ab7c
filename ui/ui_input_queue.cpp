#include "ui/ui_input_queue.h"

namespace {

// A burst of clicks longer than this is cut short rather than replayed for seconds.
constexpr size_t kMaxPending = 8;

}  // namespace

void UiInputQueue::step(Line& line, bool state) {
  if (line.pending.empty() && state != line.shown) line.pending.push_back(state);
  while (!line.pending.empty() && line.pending.front() == line.shown) line.pending.pop_front();
  if (line.pending.empty()) return;
  line.shown = line.pending.front();
  line.pending.pop_front();
}

void UiInputQueue::advance(const InputRecord& input) {
  keys_.resize(input.keys.size());
  for (const InputEvent& e : input.events) {
    Line* line = nullptr;
    if (e.button && (e.code == GLFW_MOUSE_BUTTON_LEFT || e.code == GLFW_MOUSE_BUTTON_RIGHT)) {
      line = &buttons_[e.code];
    } else if (!e.button && e.code >= 0 && static_cast<size_t>(e.code) < keys_.size()) {
      line = &keys_[static_cast<size_t>(e.code)];
    }
    if (line != nullptr && line->pending.size() < kMaxPending) line->pending.push_back(e.pressed);
  }
  for (size_t key = 0; key < keys_.size(); ++key) step(keys_[key], input.keys[key] != 0);
  step(buttons_[GLFW_MOUSE_BUTTON_LEFT], input.leftButton);
  step(buttons_[GLFW_MOUSE_BUTTON_RIGHT], input.rightButton);
}

bool UiInputQueue::keyDown(int key) const {
  return key >= 0 && static_cast<size_t>(key) < keys_.size() && keys_[key].shown;
}

bool UiInputQueue::buttonDown(int button) const {
  return (button == GLFW_MOUSE_BUTTON_LEFT || button == GLFW_MOUSE_BUTTON_RIGHT) &&
         buttons_[button].shown;
}
