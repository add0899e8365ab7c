// Overlays that show the world around the player: the weather in screen space and the
// minimap panel.

#include <imgui.h>

#include <cmath>

#include "ui/screens.h"
#include "ui/ui_widgets.h"

namespace {

// A fixed pseudo-random value in [0, 1) per index.
double streakHash(double i) {
  const double v = std::sin(i * 12.9898) * 43758.547;
  return v - std::floor(v);
}

void rain(ImDrawList* list, ImVec2 display, double t) {
  const double w = display.x, h = display.y;
  for (int i = 0; i < 340; i += 2) {
    const double a = streakHash(i), b = streakHash(i + 1);
    const float x = static_cast<float>(std::fmod(a * w + 110.0 * t, w));
    const float y = static_cast<float>(std::fmod((420.0 * b + 780.0) * t + h * b, h + 30.0) - 20.0);
    list->AddLine(ImVec2(x, y), ImVec2(x - 5.0f, y + 18.0f), rgba8(165, 186, 215, 95), 1.5f);
  }
}

void snow(ImDrawList* list, ImVec2 display, double t) {
  const double w = display.x, h = display.y;
  for (int i = 0; i < 150; ++i) {
    const float x =
        static_cast<float>(std::fmod(streakHash(2 * i) * w + 22.0 * std::sin(i + 0.8 * t), w));
    const float y = static_cast<float>(std::fmod(streakHash(2 * i + 1) * h + 55.0 * t, h));
    list->AddCircleFilled(ImVec2(x, y), 1.6f, rgba8(240, 246, 255, 170), 6);
  }
}

}  // namespace

void drawWeather(const Game& game) {
  ImDrawList* list = ImGui::GetBackgroundDrawList();
  const ImVec2 display = ImGui::GetIO().DisplaySize;
  if (game.environment.weather == WeatherRain) rain(list, display, game.clock);
  if (game.environment.weather == WeatherSnow) snow(list, display, game.clock);
}

void drawMinimap(const Game& game) {
  if (!game.flags.minimap || !game.world) return;
  constexpr float kPanel = 160.0f, kCell = 2.5f;
  const ImVec2 display = ImGui::GetIO().DisplaySize;
  const ImVec2 min(display.x - 14.0f - kPanel, 14.0f);
  const ImVec2 max(min.x + kPanel, min.y + kPanel);
  ImDrawList* list = ImGui::GetBackgroundDrawList();
  list->AddRectFilled(min, max, rgba8(10, 12, 16, 210));
  const uint8_t* c = game.minimap.colours.data();
  for (int row = 0; row < kMinimapSize; ++row) {
    for (int col = 0; col < kMinimapSize; ++col, c += 4) {
      if (c[3] == 0) continue;
      const ImVec2 a(min.x + col * kCell, min.y + row * kCell);
      list->AddRectFilled(a, ImVec2(a.x + kCell, a.y + kCell), IM_COL32(c[0], c[1], c[2], c[3]));
    }
  }
  list->AddRect(min, max, rgba8(255, 255, 255, 55));
  const ImVec2 north = ImGui::CalcTextSize("N");
  list->AddText(ImVec2((min.x + max.x - north.x) * 0.5f, min.y + 2.0f), rgba8(255, 255, 255, 220),
                "N");
  // The player at the centre, pointing along the yaw (x to the right, z downwards).
  const float yaw = glm::radians(game.player.yaw);
  const ImVec2 centre((min.x + max.x) * 0.5f, (min.y + max.y) * 0.5f);
  const ImVec2 d(std::cos(yaw), std::sin(yaw)), side(-d.y, d.x);
  list->AddTriangleFilled(ImVec2(centre.x + d.x * 7, centre.y + d.y * 7),
                          ImVec2(centre.x - d.x * 4 + side.x * 4, centre.y - d.y * 4 + side.y * 4),
                          ImVec2(centre.x - d.x * 4 - side.x * 4, centre.y - d.y * 4 - side.y * 4),
                          rgba8(255, 255, 255, 240));
}
