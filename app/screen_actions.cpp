#include "app/screen_actions.h"

#include "game/lifecycle.h"
#include "save/world_folders.h"

namespace {

bool hasSelection(const Game& game) {
  return game.menu.selected >= 0 && game.menu.selected < static_cast<int>(game.menu.worlds.size());
}

void closeConnection(Game& game) {
  if (game.net.session) game.net.session->shutdown();
  game.net.role = NetOffline;
  game.net.localId = 0;
}

void createAndPlay(Game& game) {
  const std::string name = worldFolderName(game.menu.worldName);
  if (worldExists(name, game.savesFolder)) {
    setMenuMessagef(game, "A world named \"%s\" already exists", name.c_str());
    return;
  }
  closeConnection(game);
  const uint32_t seed = game.menu.seedText.empty() ? clockRandom() : seedFromText(game.menu.seedText);
  newGame(game, seed, name);
  saveGame(game);
  refreshWorldList(game);
  for (size_t i = 0; i < game.menu.worlds.size(); ++i) {
    if (game.menu.worlds[i] == name) game.menu.selected = static_cast<int>(i);
  }
  setScreen(game, ScreenPlaying);
}

void playSelected(Game& game) {
  if (!hasSelection(game)) return;
  const std::string name = game.menu.worlds[game.menu.selected];
  closeConnection(game);
  if (loadGame(game, name)) {
    setScreen(game, ScreenPlaying);
  } else {
    setMenuMessagef(game, "Could not load \"%s\"", name.c_str());
  }
}

void deleteSelected(Game& game) {
  if (!hasSelection(game)) return;
  const std::string name = game.menu.worlds[game.menu.selected];
  deleteWorld(name, game.savesFolder);
  setMenuMessagef(game, "Deleted \"%s\"", name.c_str());
  game.menu.confirmDelete = false;
  refreshWorldList(game);
}

}  // namespace

void performMenuAction(Game& game, MenuAction action) {
  switch (action) {
    case MenuAction::CreateAndPlay: createAndPlay(game); break;
    case MenuAction::PlaySelected: playSelected(game); break;
    case MenuAction::DeleteConfirmed: deleteSelected(game); break;
    case MenuAction::Quit: game.flags.quitRequested = true; break;
    default: break;
  }
}

void performPauseAction(Game& game, PauseAction action) {
  switch (action) {
    case PauseAction::Resume: setScreen(game, ScreenPlaying); break;
    case PauseAction::Save:
      if (saveGame(game)) {
        refreshWorldList(game);
        addMessagef(game, "Saved %s", game.worldName.c_str());
      }
      break;
    case PauseAction::SaveAndQuit:
      if (game.net.role != NetClient) saveGame(game);
      quitToMenu(game);
      break;
    case PauseAction::QuitToDesktop:
      if (game.net.role != NetClient) saveGame(game);
      closeConnection(game);
      game.flags.quitRequested = true;
      break;
    case PauseAction::None: break;
  }
}

void performDeathAction(Game& game, DeathAction action) {
  if (action == DeathAction::Respawn) {
    Player& player = game.player;
    player.hitPoints = 20;
    player.fallDistance = 0.0f;
    player.position = game.spawnPoint;
    player.velocity = glm::vec3(0.0f);
    player.damageFlash = 0.0f;
    game.timers.sinceDamage = 0.0f;
    game.timers.lava = 0.0f;
    setScreen(game, ScreenPlaying);
    addMessage(game, "Respawned");
  } else if (action == DeathAction::QuitToMenu) {
    quitToMenu(game);
  }
}
