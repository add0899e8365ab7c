// The pause menu with its settings, and the death screen.

#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "game/lifecycle.h"
#include "lang/translations.h"
#include "platform/version.h"
#include "ui/screens.h"
#include "ui/ui_context.h"
#include "ui/ui_widgets.h"
#include "world/village.h"

namespace {

constexpr float kMenuGap = 8.0f;

void gameLines(const Game& game) {
  ImGui::TextUnformatted(trf("Orvane %s", kVersionText).c_str());
  if (!game.worldName.empty()) {
    ImGui::TextUnformatted(trf("%s  -  seed %u", game.worldName.c_str(), game.seed).c_str());
  } else {
    ImGui::TextUnformatted(trf("Multiplayer  -  seed %u", game.seed).c_str());
  }
  if (game.net.role != NetOffline) {
    const int rtt = game.net.session ? game.net.session->roundTripMs() : 0;
    const int players = static_cast<int>(game.entities.remotePlayers.size()) + 1;
    ImGui::TextUnformatted(trf("%s  -  %d ms  -  %d player(s)",
                               tr(game.net.role == NetHost ? "Hosting" : "Connected"), rtt, players)
                               .c_str());
  }
}

// "<translation>###<id>": the widget keeps its id, and its state, in both languages.
std::string stableLabel(const char* english, const char* id) {
  return std::string(tr(english)) + "###" + id;
}

void settingsSection(Game& game) {
  UiContext* ui = currentUiContext();
  if (ui != nullptr && ui->openSettings) {
    ImGui::SetNextItemOpen(true);
    ui->openSettings = false;
  }
  const bool open = ImGui::CollapsingHeader(stableLabel("Settings", "settings").c_str());
  recordWidget("Settings");
  if (!open) return;
  Settings& settings = game.settings;
  ImGui::SliderFloat(stableLabel("Mouse sensitivity", "sensitivity").c_str(),
                     &settings.mouseSensitivity, 0.03f, 0.30f, "%.2f");
  ImGui::SliderFloat(stableLabel("Field of view", "fov").c_str(), &settings.fieldOfView, 55.0f,
                     100.0f, "%.0f");
  if (ImGui::SliderInt(stableLabel("Render distance", "render").c_str(), &settings.renderDistance,
                       4, 12)) {
    game.meshScheduler.setRenderDistance(settings.renderDistance);
  }
  recordWidget("Render distance");
  languageCombo();
  ImGui::Checkbox(stableLabel("Shadows", "shadows").c_str(), &settings.shadows);
  ImGui::Checkbox(stableLabel("Post-processing", "post").c_str(), &settings.postProcessing);
  folderButtons(26.0f);
}

void helpLines(const Game& game) {
  for (const char* line : {"WASD move, Space jump, Ctrl sprint", "1-9 / wheel block, E inventory",
                           "Double-tap Space (or F) to fly, F4 spectator, F3 debug",
                           "Esc resume, / or ^ commands", "Right-click a villager to trade"}) {
    wrappedText(tr(line));
  }
  if (game.world) {
    const glm::vec3 p = game.player.position;
    const auto villages = villagesNear(*game.world, std::floor(p.x), std::floor(p.z), 640.0f);
    ImGui::TextDisabled(
        "%s", trf("Villages within 640 blocks: %d", static_cast<int>(villages.size())).c_str());
  }
}

}  // namespace

PauseAction drawPauseMenu(Game& game) {
  PauseAction action = PauseAction::None;
  // Centred, and never down over the hearts and the hotbar: a taller menu scrolls.
  const ImVec2 display = ImGui::GetIO().DisplaySize;
  const float room = 2.0f * (display.y * 0.5f - kHudReserve - kMenuGap);
  beginMenuWindow("##pause", 400.0f, std::max(room, 120.0f));
  recordWindow("window:pause");
  titleText("Paused", 1.5f);
  gameLines(game);
  ImGui::Spacing();
  const bool multiplayer = game.net.role != NetOffline;
  if (wideButton("Resume", 28.0f)) action = PauseAction::Resume;
  if (game.net.role != NetClient && wideButton("Save", 28.0f)) action = PauseAction::Save;
  if (wideButton(multiplayer ? "Disconnect to Menu" : "Save and Quit to Menu", 28.0f)) {
    action = PauseAction::SaveAndQuit;
  }
  if (wideButton("Quit to Desktop", 28.0f)) action = PauseAction::QuitToDesktop;
  settingsSection(game);
  ImGui::Separator();
  helpLines(game);
  ImGui::End();
  return action;
}

DeathAction drawDeathScreen(Game& game) {
  DeathAction action = DeathAction::None;
  dimDisplay(160);
  beginMenuWindow("##death", 380.0f);
  titleText("You died", 1.7f);
  const glm::vec3 p = game.player.position;
  ImGui::TextUnformatted(trf("Seed %u   Block %d %d %d", game.seed,
                             static_cast<int>(std::floor(p.x)), static_cast<int>(std::floor(p.y)),
                             static_cast<int>(std::floor(p.z)))
                             .c_str());
  if (wideButton("Respawn", 38.0f)) action = DeathAction::Respawn;
  if (wideButton("Quit to Menu", 38.0f)) action = DeathAction::QuitToMenu;
  wrappedText(tr("The world is unchanged; save from the pause menu."));
  ImGui::End();
  return action;
}
