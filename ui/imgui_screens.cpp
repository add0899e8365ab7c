#include "ui/imgui_screens.h"

#include "ui/screens.h"

ImGuiScreens::ImGuiScreens(const InputRecord& input, CameraFunction camera)
    : input_(input), camera_(std::move(camera)) {}

void ImGuiScreens::drawPlaying(Game& game, ScreenActions& actions) {
  const ImVec2 display = ImGui::GetIO().DisplaySize;
  drawWeather(game);
  if (game.world) drawHud(game, camera_(game, display.x / display.y));
  drawMinimap(game);
  drawChat(game);
  if (game.flags.debugOverlay) drawDebugOverlay(game);
  if (game.screen == ScreenPaused) {
    actions.pause = drawPauseMenu(game);
  } else if (game.screen == ScreenDead) {
    actions.death = drawDeathScreen(game);
  } else if (game.inventory.open) {
    drawInventoryScreen(game);
  }
}

ScreenActions ImGuiScreens::draw(Game& game) {
  const bool captured = game.screen == ScreenPlaying && !game.chat.open && !game.inventory.open;
  if (platformFrame) platformFrame();
  ui_.beginFrame(input_, game.frame.dt, captured);
  ScreenActions actions;
  if (game.screen == ScreenMainMenu) {
    actions.menu = drawMainMenu(game);
  } else {
    drawPlaying(game, actions);
  }
  ui_.endFrame();
  return actions;
}
