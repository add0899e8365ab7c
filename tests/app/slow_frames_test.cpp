// Playing at two frames a second, the way a slow driver or a stall plays: keys and
// clicks that begin and end between two passes still act, once, and the frame counter
// tells the real rate.

#include <gtest/gtest.h>

#include <filesystem>

#include "app/frame_loop.h"
#include "game/lifecycle.h"
#include "tests/support/game_driver.h"
#include "ui/imgui_screens.h"

namespace {

constexpr double kSlowFrame = 0.5;

// Press and release inside one record, then one slow pass.
void quickTap(GameDriver& d, int key) {
  d.input.press(key);
  d.input.release(key);
  d.pass(kSlowFrame);
}

// A key held down with the system's auto-repeat typing its character.
void pressTyping(InputRecord& input, int key, char c, int repeats) {
  input.press(key);
  for (int i = 0; i <= repeats; ++i) input.characters.push_back(static_cast<unsigned char>(c));
}

void typeText(InputRecord& input, const std::string& text) {
  for (char c : text) input.characters.push_back(static_cast<unsigned char>(c));
}

void startWorld(GameDriver& d) {
  newGame(d.game, 20261018, "Slow");
  setScreen(d.game, ScreenPlaying);
  d.pass(kSlowFrame);
}

TEST(SlowFrames, TapsBetweenPassesActOnce) {
  GameDriver d;
  Game& game = d.game;
  startWorld(d);

  quickTap(d, GLFW_KEY_ESCAPE);
  EXPECT_EQ(game.screen, ScreenPaused);
  quickTap(d, GLFW_KEY_ESCAPE);
  EXPECT_EQ(game.screen, ScreenPlaying);
  quickTap(d, GLFW_KEY_F3);
  EXPECT_TRUE(game.flags.debugOverlay);
  quickTap(d, GLFW_KEY_F3);
  EXPECT_FALSE(game.flags.debugOverlay);

  // Two quick taps inside one record are two presses: a double tap of Space.
  ASSERT_FALSE(game.player.flying);
  for (int i = 0; i < 2; ++i) {
    d.input.press(GLFW_KEY_SPACE);
    d.input.release(GLFW_KEY_SPACE);
  }
  d.pass(kSlowFrame);
  EXPECT_TRUE(game.player.flying);

  // A quick click breaks the block under the cross (creative: at once).
  d.lookDown();
  ASSERT_TRUE(game.target.hit);
  const glm::ivec3 cell = game.target.cell;
  d.input.setButton(GLFW_MOUSE_BUTTON_LEFT, true);
  d.input.setButton(GLFW_MOUSE_BUTTON_LEFT, false);
  d.pass(kSlowFrame);
  EXPECT_EQ(game.world->getBlock(cell.x, cell.y, cell.z), kBlockAir);

  // A chord let go before the pass: F3 + F4 cycles creative to survival.
  d.input.press(GLFW_KEY_F3);
  d.input.press(GLFW_KEY_F4);
  d.input.release(GLFW_KEY_F4);
  d.input.release(GLFW_KEY_F3);
  d.pass(kSlowFrame);
  EXPECT_EQ(game.player.gameMode, GameModeSurvival);
  EXPECT_TRUE(game.flags.debugOverlay);  // F3's own press still toggles the overlay
  quickTap(d, GLFW_KEY_F3);

  quickTap(d, GLFW_KEY_E);
  EXPECT_TRUE(game.inventory.open);
  quickTap(d, GLFW_KEY_E);
  EXPECT_FALSE(game.inventory.open);
  quickTap(d, GLFW_KEY_5);
  EXPECT_EQ(game.inventory.items.selected, 4);

  // T, "hello" and Enter all between two passes: the line is sent as typed.
  d.input.press(GLFW_KEY_T);
  typeText(d.input, "t");
  d.input.release(GLFW_KEY_T);
  typeText(d.input, "hello");
  quickTap(d, GLFW_KEY_ENTER);
  EXPECT_TRUE(d.logged("You: hello"));
  EXPECT_FALSE(game.chat.open);
}

TEST(SlowFrames, ChatKeyTypesNothingIntoTheChat) {
  GameDriver d;
  Game& game = d.game;
  startWorld(d);

  // T held across passes with its auto-repeat: the chat opens empty and stays empty.
  pressTyping(d.input, GLFW_KEY_T, 't', 3);
  d.pass(kSlowFrame);
  ASSERT_TRUE(game.chat.open);
  EXPECT_TRUE(game.chat.talking);
  EXPECT_EQ(game.chat.input, "");
  typeText(d.input, "tt");
  d.pass(kSlowFrame);
  EXPECT_EQ(game.chat.input, "");
  // Another key typed while T is still down reaches the line.
  d.input.press(GLFW_KEY_H);
  typeText(d.input, "h");
  d.input.release(GLFW_KEY_H);
  d.input.release(GLFW_KEY_T);
  d.pass(kSlowFrame);
  EXPECT_EQ(game.chat.input, "h");
  // Once T is up it types like any key.
  d.input.press(GLFW_KEY_T);
  typeText(d.input, "t");
  d.input.release(GLFW_KEY_T);
  d.pass(kSlowFrame);
  EXPECT_EQ(game.chat.input, "ht");
}

TEST(SlowFrames, FrameCounterShowsTheRealRate) {
  GameDriver d;
  startWorld(d);
  d.passes(4, 1.0);
  EXPECT_FLOAT_EQ(d.game.frame.framesPerSecond, 1.0f);
  EXPECT_FLOAT_EQ(d.game.frame.dt, 0.1f);  // the simulation step stays clamped
  d.passes(30, 1.0 / 60.0);
  EXPECT_NEAR(d.game.frame.framesPerSecond, 60.0f, 0.5f);
}

TEST(SlowFrames, QuickClicksWorkOnTheMenus) {
  GameDriver d;
  ImGuiScreens screens(d.input, cameraMatrix);
  screens.ui().recordWidgets = true;
  auto pass = [&] {
    d.clock += kSlowFrame;
    runFramePass(d.game, d.input, d.clock, d.renderer, screens);
  };
  // A click that went down and up between two frames, like `xdotool click 1`.
  auto quickClick = [&](const std::string& widget) {
    pass();
    pass();
    ASSERT_TRUE(screens.ui().widgets.count(widget)) << widget;
    const ImVec2 at = screens.ui().widgets.at(widget).centre();
    d.input.cursorX.push_back(at.x);
    d.input.cursorY.push_back(at.y);
    d.input.setButton(GLFW_MOUSE_BUTTON_LEFT, true);
    d.input.setButton(GLFW_MOUSE_BUTTON_LEFT, false);
    pass();
    pass();
  };
  quickClick("Singleplayer");
  EXPECT_EQ(d.game.menu.page, MenuPageWorlds);
  quickClick("Create and Play");
  EXPECT_EQ(d.game.screen, ScreenPlaying);
  EXPECT_TRUE(std::filesystem::exists(d.folder / "My World" / "world.dat"));
}

}  // namespace
