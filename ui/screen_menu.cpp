// The main menu: the title page, the world list, the multiplayer page and the
// connecting page. Page changes clear the message line; the world list is re-read when
// a page that shows it opens.

#include <imgui.h>

#include "game/lifecycle.h"
#include "lang/translations.h"
#include "platform/version.h"
#include "ui/screens.h"
#include "ui/ui_widgets.h"

namespace {

constexpr std::size_t kWorldNameCapacity = 64;
constexpr std::size_t kSeedCapacity = 64;
constexpr std::size_t kPlayerNameCapacity = 32;
constexpr std::size_t kPortCapacity = 16;
constexpr std::size_t kAddressCapacity = 128;

void openPage(Game& game, int page) {
  game.menu.page = page;
  game.menu.message.clear();
  game.menu.confirmDelete = false;
  if (page == MenuPageWorlds || page == MenuPageMultiplayer) refreshWorldList(game);
}

bool hasSelection(const MenuState& menu) {
  return menu.selected >= 0 && menu.selected < static_cast<int>(menu.worlds.size());
}

void messageLine(const MenuState& menu) {
  if (menu.message.empty()) return;
  ImGui::PushTextWrapPos(0.0f);
  ImGui::TextColored(ImVec4(1.0f, 0.82f, 0.45f, 1.0f), "%s", menu.message.c_str());
  ImGui::PopTextWrapPos();
}

void wrappedNote(const std::string& text) {
  wrappedText(text);
}

// The saved worlds in a scrolling list; a click selects a row and leaves delete
// confirmation.
void worldList(MenuState& menu, const char* id, float height, const char* emptyText) {
  ImGui::BeginChild(id, ImVec2(0.0f, height), true);
  if (menu.worlds.empty()) ImGui::TextDisabled("%s", tr(emptyText));
  for (int i = 0; i < static_cast<int>(menu.worlds.size()); ++i) {
    ImGui::PushID(i);
    if (ImGui::Selectable(menu.worlds[i].c_str(), menu.selected == i)) {
      menu.selected = i;
      menu.confirmDelete = false;
    }
    recordWidget(std::string("row:") + menu.worlds[i]);
    ImGui::PopID();
  }
  ImGui::EndChild();
}

MenuAction titlePage(Game& game) {
  MenuAction action = MenuAction::None;
  titleText("Orvane", 2.1f);
  ImGui::TextDisabled("%s", kVersionText);
  ImGui::Spacing();
  if (wideButton("Singleplayer", 42.0f)) openPage(game, MenuPageWorlds);
  if (wideButton("Multiplayer", 42.0f)) openPage(game, MenuPageMultiplayer);
  ImGui::Spacing();
  folderButtons(28.0f);
  ImGui::Spacing();
  if (wideButton("Quit", 32.0f)) action = MenuAction::Quit;
  ImGui::Separator();
  ImGui::TextDisabled("%s", tr("WASD move / Space jump / double-tap Space to fly"));
  ImGui::TextDisabled("%s", tr("T chat / / commands / E inventory / F3 debug / Esc pause"));
  languageCombo();
  return action;
}

MenuAction worldsPage(Game& game) {
  MenuState& menu = game.menu;
  MenuAction action = MenuAction::None;
  ImGui::TextUnformatted(tr("Worlds"));
  wrappedNote(tr("Each world is a folder with world.dat and player.dat."));
  worldList(menu, "##worlds", 170.0f, "No worlds yet.");
  const bool selected = hasSelection(menu);
  if (wideButton("Play Selected", 36.0f, selected)) action = MenuAction::PlaySelected;
  if (!menu.confirmDelete || !selected) {
    if (wideButton("Delete Selected", 28.0f, selected)) menu.confirmDelete = true;
  } else {
    ImGui::TextUnformatted(
        trf("Delete \"%s\" forever?", menu.worlds[menu.selected].c_str()).c_str());
    if (smallButton("Delete", 100.0f, 28.0f)) action = MenuAction::DeleteConfirmed;
    ImGui::SameLine();
    if (smallButton("Cancel", 100.0f, 28.0f)) menu.confirmDelete = false;
  }
  ImGui::Separator();
  ImGui::TextUnformatted(tr("Create a world"));
  textField("world name", "world name", menu.worldName, kWorldNameCapacity);
  textField("seed", "seed (leave empty for random)", menu.seedText, kSeedCapacity);
  if (wideButton("Create and Play", 36.0f)) action = MenuAction::CreateAndPlay;
  messageLine(menu);
  if (wideButton("Back", 30.0f)) openPage(game, MenuPageMain);
  return action;
}

MenuAction multiplayerPage(Game& game) {
  MenuState& menu = game.menu;
  MenuAction action = MenuAction::None;
  ImGui::TextUnformatted(tr("Multiplayer"));
  ImGui::TextUnformatted(tr("Player name"));
  textField("Player name", nullptr, menu.playerName, kPlayerNameCapacity);
  ImGui::Separator();
  ImGui::TextUnformatted(tr("Host a world"));
  worldList(menu, "##hostworlds", 110.0f, "No saved worlds. Create one below.");
  ImGui::AlignTextToFramePadding();
  ImGui::TextUnformatted(tr("UDP port"));
  ImGui::SameLine();
  textField("UDP port", nullptr, menu.port, kPortCapacity, 120.0f,
            ImGuiInputTextFlags_CharsDecimal);
  if (wideButton("Host Selected World", 34.0f, hasSelection(menu))) {
    action = MenuAction::HostSelected;
  }
  textField("new world name", "new world name", menu.worldName, kWorldNameCapacity);
  if (wideButton("Host New World", 32.0f)) action = MenuAction::HostNew;
  wrappedNote(
      trf("Share your IP or domain. Forward UDP port %s on your router.", menu.port.c_str()));
  ImGui::Separator();
  ImGui::TextUnformatted(tr("Join a server"));
  textField("address", "play.example.com or 1.2.3.4:27632", menu.address, kAddressCapacity);
  if (wideButton("Join Server", 34.0f)) action = MenuAction::Join;
  wrappedNote(tr("No port means 27632. Domains also try the _orvane._udp SRV record."));
  messageLine(menu);
  if (wideButton("Back", 30.0f)) openPage(game, MenuPageMain);
  return action;
}

MenuAction connectingPage(Game& game) {
  const MenuState& menu = game.menu;
  titleText("Connecting", 1.5f);
  if (menu.message.empty()) {
    ImGui::TextUnformatted(tr("Contacting the host..."));
  } else {
    messageLine(menu);
  }
  ImGui::TextUnformatted(trf("Address: %s", menu.address.c_str()).c_str());
  if (game.world) {  // the world is arriving: how much of it so far
    ImGui::TextUnformatted(
        trf("World entries received: %d", static_cast<int>(game.net.downloadedEntries)).c_str());
  }
  return wideButton("Cancel", 32.0f) ? MenuAction::CancelConnecting : MenuAction::None;
}

}  // namespace

MenuAction drawMainMenu(Game& game) {
  const int page = game.menu.page;
  beginMenuWindow("##mainmenu", page == MenuPageWorlds ? 540.0f : 480.0f);
  MenuAction action = MenuAction::None;
  switch (page) {
    case MenuPageWorlds:
      action = worldsPage(game);
      break;
    case MenuPageMultiplayer:
      action = multiplayerPage(game);
      break;
    case MenuPageConnecting:
      action = connectingPage(game);
      break;
    default:
      action = titlePage(game);
      break;
  }
  ImGui::End();
  return action;
}
