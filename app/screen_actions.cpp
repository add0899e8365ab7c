#include "app/screen_actions.h"

#include "game/lifecycle.h"
#include "game/net_sync.h"
#include "net/protocol_constants.h"
#include "net/server_address.h"
#include "render/renderer.h"
#include "save/world_folders.h"

namespace {

bool hasSelection(const Game& game) {
  return game.menu.selected >= 0 && game.menu.selected < static_cast<int>(game.menu.worlds.size());
}

void createAndPlay(Game& game) {
  const std::string name = worldFolderName(game.menu.worldName);
  if (worldExists(name, game.savesFolder)) {
    setMenuMessagef(game, "A world named \"%s\" already exists", name.c_str());
    return;
  }
  closeConnection(game);
  const uint32_t seed =
      game.menu.seedText.empty() ? clockRandom() : seedFromText(game.menu.seedText);
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

// Decimal digits only, 1 to 65535.
bool parsePort(const std::string& text, uint16_t& port) {
  if (text.empty() || text.size() > 5) return false;
  unsigned value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value < 1 || value > 65535) return false;
  port = static_cast<uint16_t>(value);
  return true;
}

void host(Game& game, bool selected) {
  uint16_t port = 0;
  if (!parsePort(game.menu.port, port)) {
    setMenuMessagef(game, "Invalid UDP port");
    return;
  }
  std::string name;
  if (selected) {
    if (!hasSelection(game)) {
      setMenuMessagef(game, "Select a world to host");
      return;
    }
    name = game.menu.worlds[game.menu.selected];
  } else {
    name = worldFolderName(game.menu.worldName);
    if (worldExists(name, game.savesFolder)) {
      setMenuMessagef(game, "A world named \"%s\" already exists", name.c_str());
      return;
    }
  }
  std::string error;
  if (!startHosting(game, port, error)) {
    game.menu.message = error;
    return;
  }
  game.net.playerName = sanitizePlayerName(game.menu.playerName);
  if (selected) {
    if (!loadGame(game, name)) {
      closeConnection(game);
      setMenuMessagef(game, "Could not load \"%s\"", name.c_str());
      return;
    }
  } else {
    const uint32_t seed =
        game.menu.seedText.empty() ? clockRandom() : seedFromText(game.menu.seedText);
    newGame(game, seed, name);
    saveGame(game);
    refreshWorldList(game);
  }
  game.menu.page = MenuPageMultiplayer;
  game.menu.message.clear();
  setScreen(game, ScreenPlaying);
  addMessagef(game, "Hosting \"%s\" on UDP %u", name.c_str(), static_cast<unsigned>(port));
}

void join(Game& game) {
  if (game.menu.address.empty()) {
    setMenuMessagef(game, "Enter a server address");
    return;
  }
  game.net.playerName = sanitizePlayerName(game.menu.playerName);
  Ipv4Endpoint address;
  std::string error;
  if (!resolveServerAddress(game.menu.address, kDefaultPort, address, error) ||
      !startJoining(game, address, error)) {
    game.menu.message = error;
    return;
  }
  game.world.reset();
  game.entities.remotePlayers.clear();
  game.renderer->clearChunkMeshes();
  game.meshScheduler.reset();
  game.menu.page = MenuPageConnecting;
  setMenuMessagef(game, "Contacting %s...", formatEndpoint(address).c_str());
}

void cancelConnecting(Game& game) {
  closeConnection(game);
  game.world.reset();
  game.entities.remotePlayers.clear();
  game.renderer->clearChunkMeshes();
  game.meshScheduler.reset();
  game.menu.page = MenuPageMultiplayer;
  setMenuMessagef(game, "Cancelled");
}

}  // namespace

void performMenuAction(Game& game, MenuAction action) {
  switch (action) {
    case MenuAction::CreateAndPlay:
      createAndPlay(game);
      break;
    case MenuAction::PlaySelected:
      playSelected(game);
      break;
    case MenuAction::DeleteConfirmed:
      deleteSelected(game);
      break;
    case MenuAction::HostSelected:
      host(game, true);
      break;
    case MenuAction::HostNew:
      host(game, false);
      break;
    case MenuAction::Join:
      join(game);
      break;
    case MenuAction::CancelConnecting:
      cancelConnecting(game);
      break;
    case MenuAction::Quit:
      game.flags.quitRequested = true;
      break;
    default:
      break;
  }
}

void performPauseAction(Game& game, PauseAction action) {
  switch (action) {
    case PauseAction::Resume:
      setScreen(game, ScreenPlaying);
      break;
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
    case PauseAction::None:
      break;
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
