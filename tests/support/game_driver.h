#pragma once
// Drives a Game through the real frame pass with synthetic input, a recording renderer,
// scripted screen actions and a saves folder of its own that is removed afterwards.

#include <unistd.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <string>

#include "app/frame_loop.h"
#include "tests/support/recording_renderer.h"

// Answers the screen actions a test queued, one per pass.
class ScriptedScreens : public Screens {
 public:
  ScreenActions draw(Game&) override {
    if (queue.empty()) return {};
    const ScreenActions next = queue.front();
    queue.pop_front();
    return next;
  }
  std::deque<ScreenActions> queue;
};

class GameDriver {
 public:
  GameDriver() {
    folder = std::filesystem::temp_directory_path() /
             ("orvane_session_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    game.savesFolder = folder.string();
    game.renderer = &renderer;
  }
  ~GameDriver() {
    game.renderer = &game.noRenderer;
    std::filesystem::remove_all(folder);
  }

  void pass(double dt = 1.0 / 60.0) {
    clock += dt;
    runFramePass(game, input, clock, renderer, screens);
  }
  void passes(int n, double dt = 1.0 / 60.0) {
    for (int i = 0; i < n; ++i) pass(dt);
  }
  // Down for one pass, then up for one.
  void tap(int key) {
    input.press(key);
    pass();
    input.release(key);
    pass();
  }
  void click(bool left) {
    (left ? input.leftButton : input.rightButton) = true;
    pass();
    (left ? input.leftButton : input.rightButton) = false;
    pass();
  }
  void type(const std::string& text) {
    for (char c : text) input.characters.push_back(static_cast<unsigned char>(c));
    pass();
  }
  void command(const std::string& line) {
    type("/");
    type(line);
    tap(GLFW_KEY_ENTER);
  }
  void act(ScreenActions a) {
    screens.queue.push_back(a);
    pass();
  }
  bool logged(const std::string& text) const {
    return std::any_of(game.chat.log.begin(), game.chat.log.end(),
                       [&](const LogMessage& m) { return m.text == text; });
  }
  // Looks straight down from a flying creative body, so the ground is targeted.
  void lookDown() {
    game.player.pitch = -89.0f;
    pass();
  }

  static inline int counter = 0;
  std::filesystem::path folder;
  Game game;
  InputRecord input;
  RecordingRenderer renderer;
  ScriptedScreens screens;
  double clock = 100.0;
};
