#include "app/screenshot_scenes.h"

// Sections: words of a scene name | camera set-ups | modifiers

#include <algorithm>
#include <cmath>
#include <sstream>

#include "game/commands.h"
#include "game/environment.h"
#include "game/interaction.h"
#include "game/lifecycle.h"
#include "game/player.h"
#include "world/block_registry.h"
#include "world/village.h"

namespace {

constexpr uint32_t kSceneSeed = 20261018;
constexpr float kVillageSearch = 800.0f;
constexpr float kMidnight = 0.75f;
// Scenes are lit a little under noon's full daylight.
constexpr float kSceneDaylight = 0.9f;
constexpr float kSceneFog = 128.0f;
// How far the scripted mining looks for the block under the crosshair.
constexpr float kScriptedMiningReach = 256.0f;

// --- Words of a scene name ---------------------------------------------------------------

std::vector<std::string> wordsOf(const std::string& scene) {
  std::string spaced = scene;
  std::replace_if(
      spaced.begin(), spaced.end(), [](char c) { return c == '+' || c == ','; }, ' ');
  std::istringstream in(spaced);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

bool hasWord(const std::vector<std::string>& words, const char* word) {
  return std::find(words.begin(), words.end(), word) != words.end();
}

int column(float v) {
  return static_cast<int>(std::floor(v));
}

glm::vec3 horizontalFacing(glm::vec3 eye, glm::vec3 target) {
  glm::vec3 d = target - eye;
  d.y = 0.0f;
  return glm::length(d) > 1e-6f ? glm::normalize(d) : glm::vec3(0.0f, 0.0f, -1.0f);
}

// --- Camera set-ups ------------------------------------------------------------------------

SceneCamera defaultCamera(const Game& game) {
  const glm::vec3 spawn = game.spawnPoint;
  return {spawn, spawn + glm::vec3(0.0f, -2.2f, -4.0f)};
}

SceneCamera mobCamera(const Game& game, uint8_t type) {
  const auto& mobs = game.entities.mobs;
  if (mobs.empty()) return defaultCamera(game);
  auto it = std::find_if(mobs.begin(), mobs.end(), [&](const Mob& m) { return m.type == type; });
  const Mob& mob = it != mobs.end() ? *it : mobs.front();
  const glm::vec3 facing(std::cos(mob.heading), 0.0f, std::sin(mob.heading));
  return {mob.position + facing * 2.2f + glm::vec3(0.0f, 0.35f, 0.0f), mob.position};
}

SceneCamera villageCamera(Game& game) {
  const std::optional<Village> village =
      nearestVillage(*game.world, game.spawnPoint, kVillageSearch);
  if (!village) return defaultCamera(game);
  game.world->ensureColumnsAround(village->x, village->z, 3);
  const glm::vec3 centre(static_cast<float>(village->x), static_cast<float>(village->y),
                         static_cast<float>(village->z));
  return {centre + glm::vec3(0.5f, 15.0f, 30.5f), centre + glm::vec3(0.5f, 1.5f, 0.5f)};
}

// A stone wall 5 wide, 4 high and 1 thick, 8 blocks north of the camera.
SceneCamera fillCamera(Game& game, SceneCamera camera) {
  const int cx = column(camera.eye.x), cz = column(camera.eye.z);
  const int ground = surfaceHeight(*game.world, cx, cz);
  char line[128];
  std::snprintf(line, sizeof line, "/fill %d %d %d %d %d %d stone", cx - 2, ground + 1, cz - 8,
                cx + 2, ground + 4, cz - 8);
  runCommand(game, line);
  camera.target = {static_cast<float>(cx) + 0.5f, static_cast<float>(ground) + 3.0f,
                   static_cast<float>(cz - 8) + 0.5f};
  return camera;
}

// One block of the newest registered type, 4 ahead of the camera and one below it.
SceneCamera modCamera(Game& game, SceneCamera camera) {
  if (blockCount() <= 15) return camera;
  const glm::vec3 ahead = camera.eye + horizontalFacing(camera.eye, camera.target) * 4.0f;
  const int x = column(ahead.x), y = column(camera.eye.y) - 1, z = column(ahead.z);
  char line[160];
  std::snprintf(line, sizeof line, "/fill %d %d %d %d %d %d %s", x, y, z, x, y, z,
                blockDef(static_cast<BlockId>(blockCount() - 1)).id.c_str());
  runCommand(game, line);
  camera.target = glm::vec3(x, y, z) + glm::vec3(0.5f);
  return camera;
}

SceneCamera cameraFor(Game& game, const std::string& first) {
  if (first == "menu") {
    const glm::vec3 spawn = game.spawnPoint;
    return {spawn + glm::vec3(0.0f, 22.0f, 55.0f), spawn + glm::vec3(0.0f, -4.0f, -10.0f)};
  }
  if (first == "mob") return mobCamera(game, MobSlime);
  if (first == "pig") return mobCamera(game, MobPig);
  if (first == "villager") return mobCamera(game, MobVillager);
  if (first == "survival" || first == "inventory" || first == "village") return villageCamera(game);
  if (first == "fill") return fillCamera(game, defaultCamera(game));
  if (first == "mod") return modCamera(game, defaultCamera(game));
  return defaultCamera(game);
}

// --- Modifiers -----------------------------------------------------------------------------

// The scenes switch modes quietly: their chat shows only what the world printed.
void switchMode(Game& game, uint8_t mode) {
  game.player.gameMode = mode;
  game.player.flying = false;
}

float surfaceY(const Game& game, float x, float z) {
  return static_cast<float>(surfaceHeight(*game.world, column(x), column(z))) + 1.0f;
}

// Just above the highest solid block of the column, which trees, houses and edits may
// have raised over the generated ground (the column is generated first).
float topSolidY(Game& game, float x, float z) {
  World& world = *game.world;
  world.ensureColumnsAround(x, z, 0);
  for (int y = kWorldHeight - 1; y >= 0; --y) {
    if (blockDef(world.getBlock(column(x), y, column(z))).solid)
      return static_cast<float>(y) + 1.0f;
  }
  return surfaceY(game, x, z);
}

void addPlayers(Game& game, const SceneCamera& camera) {
  const glm::vec3 facing = horizontalFacing(camera.eye, camera.target);
  const glm::vec3 side(-facing.z, 0.0f, facing.x);
  const char* names[2] = {"Ayla", "Bram"};
  for (int i = 0; i < 2; ++i) {
    glm::vec3 p = camera.eye + facing * 3.8f + side * (i == 0 ? -1.15f : 1.15f);
    p.y = topSolidY(game, p.x, p.z) + kEyeHeight;
    RemotePlayer& r = findOrCreateRemotePlayer(game.entities.remotePlayers, 2 + i, names[i]);
    r.targetX = r.shownX = p.x;
    r.targetY = r.shownY = p.y;
    r.targetZ = r.shownZ = p.z;
    r.yaw = std::atan2(-facing.z, -facing.x);  // facing the camera
    r.hasState = true;
  }
}

void survivalState(Game& game) {
  switchMode(game, GameModeSurvival);
  game.player.hitPoints = 13;
  game.mining.progress = 0.55f;
  Inventory& items = game.inventory.items;
  items.add(kBlockPlanks, 24);
  items.add(kBlockCobblestone, 13);
  items.add(kBlockWood, 8);
  items.add(kBlockDirt, 5);
  for (Mob& mob : game.entities.mobs) {
    if (mob.type == MobSlime) {
      mob.hitPoints = 1;
      break;
    }
  }
}

void inventoryState(Game& game) {
  switchMode(game, GameModeSurvival);
  Inventory& items = game.inventory.items;
  items.add(kBlockPlanks, 37);
  items.add(kBlockCobblestone, 21);
  items.add(kBlockWood, 12);
  items.add(kBlockBookshelf, 3);
  items.add(kBlockGravel, 9);
  items.add(kBlockBricks, 16);
  items.add(kBlockSand, 7);
  items.slots[10] = {kBlockDirt, 43};
  items.slots[14] = {kBlockLeaves, 6};
  items.select(1);
  game.inventory.open = true;
}

void addDrops(Game& game, const SceneCamera& camera) {
  switchMode(game, GameModeSurvival);
  const glm::vec3 facing = horizontalFacing(camera.eye, camera.target);
  const glm::vec3 side(-facing.z, 0.0f, facing.x);
  const BlockId items[3] = {kBlockDirt, kBlockBricks, kBlockBookshelf};
  for (int i = 0; i < 3; ++i) {
    const glm::vec3 p = camera.eye + facing * 3.0f + side * (0.85f * static_cast<float>(i - 1));
    const glm::vec3 cell(std::floor(p.x) + 0.5f, 0.0f, std::floor(p.z) + 0.5f);
    spawnDrop(game.entities.drops, {cell.x, surfaceY(game, p.x, p.z) + 1.15f, cell.z}, items[i], 1);
  }
  assignEntityIds(game);
}

}  // namespace

bool isMenuScene(const std::string& scene) {
  return scene == "main" || scene == "worlds" || scene == "multiplayer";
}

bool sceneHasWord(const std::string& scene, const char* word) {
  return hasWord(wordsOf(scene), word);
}

bool sceneShowsDebugOverlay(const std::string& scene) {
  const std::vector<std::string> words = wordsOf(scene);
  return !hasWord(words, "inventory") && !hasWord(words, "village");
}

void lookAt(Player& player, glm::vec3 eye, glm::vec3 target) {
  const glm::vec3 d = target - eye;
  player.position = eye;
  if (glm::length(d) < 1e-6f) return;
  const glm::vec3 n = glm::normalize(d);
  player.yaw = glm::degrees(std::atan2(n.z, n.x));
  player.pitch = std::clamp(glm::degrees(std::asin(std::clamp(n.y, -1.0f, 1.0f))), -89.0f, 89.0f);
}

Lighting sceneLighting(const Game& game, const std::string& scene) {
  Lighting light{kSceneDaylight, kSceneFog, sunDirection(game.environment.timeOfDay)};
  if (sceneHasWord(scene, "night") || game.environment.weather != WeatherClear) {
    light.daylight = kSceneDaylight * worldLighting(game).daylight;
  }
  return light;
}

void aimScriptedMining(Game& game) {
  if (game.mining.progress <= 0.0f || game.mining.cell.x != kNoMiningCell) return;
  const Target under = castTarget(*game.world, game.player.position, facingDirection(game.player),
                                  kScriptedMiningReach);
  if (under.hit) game.mining.cell = under.cell;
}

SceneCamera setUpScene(Game& game, const std::string& scene) {
  newGame(game, kSceneSeed, "Screenshot");
  setScreen(game, ScreenPlaying);
  const std::vector<std::string> words = wordsOf(scene);
  const SceneCamera camera = cameraFor(game, words.empty() ? std::string() : words.front());
  if (!words.empty() && words.front() == "menu") setScreen(game, ScreenPaused);

  if (hasWord(words, "players")) addPlayers(game, camera);
  if (hasWord(words, "cmd")) {
    game.chat.open = true;
    game.chat.input = "/help";
  }
  if (hasWord(words, "survival")) survivalState(game);
  if (hasWord(words, "inventory")) inventoryState(game);
  if (hasWord(words, "spectator")) switchMode(game, GameModeSpectator);
  if (hasWord(words, "dead")) {
    switchMode(game, GameModeSurvival);
    game.player.hitPoints = 0;
    setScreen(game, ScreenDead);
    game.inventory.open = false;
  }
  if (hasWord(words, "rain")) game.environment.weather = WeatherRain;
  if (hasWord(words, "drops")) addDrops(game, camera);
  if (hasWord(words, "night")) game.environment.timeOfDay = kMidnight;

  lookAt(game.player, camera.eye, camera.target);
  game.player.velocity = glm::vec3(0.0f);
  game.flags.debugOverlay = sceneShowsDebugOverlay(scene);
  game.currentFov = 70.0f;
  return camera;
}
