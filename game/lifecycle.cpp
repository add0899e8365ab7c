#include "game/lifecycle.h"

// Sections: message log | screens and harm | new game | load | save | menu and modes

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "game/environment.h"
#include "game/net_sync.h"
#include "game/spawn_point.h"
#include "lang/translations.h"
#include "render/renderer.h"
#include "save/save_files.h"
#include "world/village.h"

namespace {

std::string vformat(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int size = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (size <= 0) return {};
  std::string out(static_cast<size_t>(size) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), format, args);
  out.resize(static_cast<size_t>(size));
  return out;
}

// Drops the meshes of the old world and starts meshing around the player.
void restartMeshing(Game& game) {
  game.renderer->clearChunkMeshes();
  game.meshScheduler.reset();
  game.meshScheduler.setRenderDistance(game.settings.renderDistance);
  if (!drawsWorld(game)) return;
  game.meshScheduler.preload(*game.world, *game.renderer, game.player.position.x,
                             game.player.position.z, 3);
}

// Steps 8 and 9 of starting a game, shared by new and loaded games.
void finishGameStart(Game& game) {
  game.entities.remotePlayers.clear();
  game.mining = Mining{};
  game.target = Target{};
  game.chat.input.clear();
  game.chat.open = false;
  game.chat.talking = false;
  game.world->setCaptureEnabled(game.net.role == NetHost);
  game.world->setFluidSimulation(game.net.role != NetClient);
  restartMeshing(game);
}

void resetSurroundings(Game& game) {
  game.environment.weatherTimer = 75.0f;
  game.timers.minimap = 999.0f;
  game.village.checkTimer = 0.0f;
  game.village.index = -1;
  game.currentFov = game.settings.fieldOfView;
}

void resetPlayerPose(Player& player) {
  player = Player{};
  player.position = {96.5f, 50.0f, 96.5f};
}

// The eye moves up by whole blocks until the body is free.
void raiseOutOfBlocks(const World& world, glm::vec3& eye) {
  for (int i = 0; i < 128 && bodyBlocked(world, eye); ++i) eye.y += 1.0f;
}

}  // namespace

// --- Message log ---------------------------------------------------------------------

void addMessage(Game& game, const std::string& text) {
  const std::string shown = tr(text);
  std::printf("[log] %s\n", shown.c_str());
  std::fflush(stdout);
  game.chat.log.push_back({shown, game.clock});
  while (game.chat.log.size() > kMessageLogLimit) game.chat.log.pop_front();
}

void addMessagef(Game& game, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = vformat(tr(format), args);
  va_end(args);
  std::printf("[log] %s\n", text.c_str());
  std::fflush(stdout);
  game.chat.log.push_back({std::move(text), game.clock});
  while (game.chat.log.size() > kMessageLogLimit) game.chat.log.pop_front();
}

void setMenuMessagef(Game& game, const char* format, ...) {
  va_list args;
  va_start(args, format);
  game.menu.message = vformat(tr(format), args);
  va_end(args);
}

// --- Screens and harm ----------------------------------------------------------------

void setScreen(Game& game, int screen) {
  if (game.screen == screen) return;
  game.screen = screen;
  game.inventory.open = false;
  game.entities.particles.clear();
  game.input.cursorValid = false;
}

void damagePlayer(Game& game, int amount) {
  Player& player = game.player;
  if (player.gameMode != GameModeSurvival || amount <= 0 || player.hitPoints <= 0) return;
  player.damageFlash = 0.5f;
  game.timers.sinceDamage = 0.0f;
  player.hitPoints = std::max(0, player.hitPoints - amount);
  playGameSound(game, SoundPlayerHurt);
}

// --- New game --------------------------------------------------------------------------

void newGame(Game& game, uint32_t seed, const std::string& name) {
  game.menu.message.clear();
  game.worldName = name;
  game.seed = seed;
  game.renderer->clearChunkMeshes();
  game.meshScheduler.reset();
  game.world.reset();
  game.world = std::make_unique<World>(seed);
  World& world = *game.world;

  game.spawnPoint = findSpawnPoint(world);
  resetPlayerPose(game.player);
  game.player.position = game.spawnPoint;
  world.ensureColumnsAround(game.spawnPoint.x, game.spawnPoint.z, 3);

  game.entities = Entities{};
  game.entities.mobs = spawnMobsAround(world, seed, 14, game.spawnPoint);
  std::vector<Mob> villagers = spawnVillagers(world, seed, game.spawnPoint, 640.0f);
  game.entities.mobs.insert(game.entities.mobs.end(), villagers.begin(), villagers.end());
  assignEntityIds(game);

  game.inventory = InventoryState{};
  game.environment.timeOfDay = 0.22f;
  game.environment.weather = WeatherClear;
  resetSurroundings(game);
  game.timers = Timers{};
  game.timers.minimap = 999.0f;
  finishGameStart(game);

  addMessagef(game, "World seed %u", seed);
  const size_t villages = villagesNear(world, game.spawnPoint.x, game.spawnPoint.z, 640.0f).size();
  if (villages > 0) addMessagef(game, "%d village(s) nearby", static_cast<int>(villages));
}

// --- Load ------------------------------------------------------------------------------

bool loadGame(Game& game, const std::string& name) {
  SavedWorld saved;
  if (!readWorldSave(name, saved, game.savesFolder)) return false;

  game.menu.message.clear();
  game.worldName = name;
  game.seed = saved.seed;
  game.renderer->clearChunkMeshes();
  game.meshScheduler.reset();
  game.world.reset();
  game.world = std::make_unique<World>(saved.seed);
  World& world = *game.world;
  for (const SavedEdit& edit : saved.edits) {
    world.setBlockWithLevel(edit.x, edit.y, edit.z, edit.block, edit.level);
  }

  Player& player = game.player;
  resetPlayerPose(player);
  SavedPlayer savedPlayer;
  const bool hasPlayer = readPlayerSave(name, savedPlayer, game.savesFolder);
  game.inventory = InventoryState{};
  if (hasPlayer) {
    player.position = {savedPlayer.x, savedPlayer.y, savedPlayer.z};
    player.yaw = savedPlayer.yaw;
    player.pitch = savedPlayer.pitch;
    player.flying = savedPlayer.flying;
    player.gameMode =
        savedPlayer.gameMode == GameModeSurvival ? GameModeSurvival : GameModeCreative;
    player.hitPoints = std::clamp(savedPlayer.hitPoints, 1, 20);
    for (size_t i = 0; i < savedPlayer.slots.size() && i < kInventorySlots; ++i) {
      const SavedSlot& slot = savedPlayer.slots[i];
      if (slot.block == 0 || slot.block >= blockCount() || slot.count == 0) continue;
      game.inventory.items.slots[i] = {slot.block, std::min<int32_t>(slot.count, kStackLimit)};
    }
    game.inventory.items.select(std::min<int>(savedPlayer.hotbar, kHotbarSlots - 1));
  }
  game.spawnPoint = findSpawnPoint(world);
  if (!hasPlayer) player.position = game.spawnPoint;
  world.ensureColumnsAround(player.position.x, player.position.z, 2);
  raiseOutOfBlocks(world, player.position);

  game.entities = Entities{};
  for (const SavedMob& s : saved.mobs) {
    Mob mob;
    mob.position = {s.x, s.y, s.z};
    mob.home = {s.homeX, s.homeY, s.homeZ};
    mob.heading = s.heading;
    mob.displayedYaw = s.heading;
    mob.decisionTimer = s.decisionTimer;
    mob.type = s.type;
    mob.hitPoints = std::clamp(s.hitPoints, 1, mobTypeInfo(mob.type).hitPoints);
    game.entities.mobs.push_back(mob);
  }
  for (const SavedDrop& s : saved.drops) {
    if (s.block >= blockCount()) continue;
    Drop drop;
    drop.position = {s.x, s.y, s.z};
    drop.item = s.block;
    drop.count = std::max<int32_t>(s.count, 1);
    drop.age = std::isfinite(s.age) ? std::max(s.age, 0.0f) : 0.0f;
    game.entities.drops.push_back(drop);
  }
  assignEntityIds(game);

  game.environment.timeOfDay =
      std::isfinite(saved.timeOfDay) ? std::clamp(saved.timeOfDay, 0.0f, 1.0f) : 0.0f;
  game.environment.weather = saved.weather >= 3 ? uint8_t{WeatherClear} : saved.weather;
  game.timers = Timers{};
  resetSurroundings(game);
  finishGameStart(game);
  addMessagef(game, "Loaded %s (seed %u)", name.c_str(), saved.seed);
  return true;
}

// --- Save ------------------------------------------------------------------------------

bool saveGame(Game& game) {
  if (!game.world || game.worldName.empty() || game.net.role == NetClient) return false;
  SavedWorld saved;
  saved.seed = game.seed;
  saved.timeOfDay = game.environment.timeOfDay;
  saved.weather = game.environment.weather;
  for (const Mob& mob : game.entities.mobs) {
    saved.mobs.push_back({mob.position.x, mob.position.y, mob.position.z, mob.home.x, mob.home.y,
                          mob.home.z, mob.heading, mob.decisionTimer, mob.type, mob.hitPoints});
  }
  for (const Drop& drop : game.entities.drops) {
    saved.drops.push_back({drop.position.x, drop.position.y, drop.position.z, drop.item,
                           static_cast<uint16_t>(std::clamp(drop.count, 0, 65535)), drop.age});
  }
  for (const BlockChange& c : editRecordChanges(*game.world)) {
    saved.edits.push_back({c.x, c.y, c.z, c.id, c.level});
  }

  const Player& player = game.player;
  SavedPlayer savedPlayer;
  savedPlayer.x = player.position.x;
  savedPlayer.y = player.position.y;
  savedPlayer.z = player.position.z;
  savedPlayer.yaw = player.yaw;
  savedPlayer.pitch = player.pitch;
  savedPlayer.flying = player.flying;
  savedPlayer.hitPoints = player.hitPoints;
  savedPlayer.gameMode = player.gameMode;
  savedPlayer.hotbar = static_cast<uint8_t>(game.inventory.items.selected);
  for (const ItemStack& slot : game.inventory.items.slots) {
    savedPlayer.slots.push_back(
        {slot.item, static_cast<uint16_t>(std::clamp(slot.count, 0, 65535))});
  }

  const bool worldWritten = writeWorldSave(game.worldName, saved, game.savesFolder);
  const bool playerWritten =
      worldWritten && writePlayerSave(game.worldName, savedPlayer, game.savesFolder);
  if (!worldWritten || !playerWritten) {
    addMessagef(game, "Could not save %s", game.worldName.c_str());
    return false;
  }
  return true;
}

// --- Menu and modes --------------------------------------------------------------------

void quitToMenu(Game& game) {
  if (game.net.role == NetHost && game.world && !game.worldName.empty()) saveGame(game);
  closeConnection(game);
  game.entities.remotePlayers.clear();
  game.renderer->clearChunkMeshes();
  game.meshScheduler.reset();
  game.world.reset();
  game.entities.mobs.clear();
  game.entities.drops.clear();
  game.entities.particles.clear();
  game.inventory.open = false;
  game.chat.open = false;
  game.menu.message.clear();
  game.menu.page = MenuPageMain;
  setScreen(game, ScreenMainMenu);
  refreshWorldList(game);
}

void refreshWorldList(Game& game) {
  const std::string previous =
      game.menu.selected >= 0 && game.menu.selected < static_cast<int>(game.menu.worlds.size())
          ? game.menu.worlds[game.menu.selected]
          : std::string();
  game.menu.worlds = listWorlds(game.savesFolder);
  const auto it = std::find(game.menu.worlds.begin(), game.menu.worlds.end(), previous);
  if (!previous.empty() && it != game.menu.worlds.end()) {
    game.menu.selected = static_cast<int>(it - game.menu.worlds.begin());
  } else {
    game.menu.selected = game.menu.worlds.empty() ? -1 : 0;
  }
}

const char* gameModeName(uint8_t mode) {
  return mode == GameModeSurvival    ? "Survival"
         : mode == GameModeSpectator ? "Spectator"
                                     : "Creative";
}

void setGameMode(Game& game, uint8_t mode) {
  Player& player = game.player;
  if (player.gameMode == mode) {
    addMessagef(game, "Already in %s mode", tr(gameModeName(mode)));
    return;
  }
  if (mode == GameModeSpectator) {
    game.spectator.position = player.position;
    game.spectator.gameMode = player.gameMode;
    player.flying = false;
  } else if (player.gameMode == GameModeSpectator) {
    player.position = game.spectator.position;
  }
  if (mode != GameModeCreative) player.flying = false;
  player.velocity = glm::vec3(0.0f);
  player.fallDistance = 0.0f;
  if (mode == GameModeSurvival) player.hitPoints = std::max(player.hitPoints, 1);
  player.gameMode = mode;
  addMessagef(game, "Game mode: %s", tr(gameModeName(mode)));
}

void toggleSpectator(Game& game) {
  const bool spectating = game.player.gameMode == GameModeSpectator;
  setGameMode(game, spectating ? game.spectator.gameMode : uint8_t{GameModeSpectator});
}

void teleportPlayer(Game& game, glm::vec3 eye, int radius) {
  game.player.position = eye;
  game.player.velocity = glm::vec3(0.0f);
  if (game.world) game.world->ensureColumnsAround(eye.x, eye.z, radius);
}

uint32_t clockRandom() {
  const uint64_t v = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch() /
                                           std::chrono::nanoseconds(1));
  return static_cast<uint32_t>((v >> 32) ^ v);
}

uint32_t seedFromText(const std::string& text) {
  uint32_t hash = 0x811C9DC5u;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 16777619u;
  }
  return hash;
}
