#include "game/commands.h"

// Contents:
//   argument parsing        - words, whole-token integers and finite floats
//   player commands         - gamemode, tp, spawn, kill, give, clear, village
//   world commands          - time, weather, save, mobs, fill (host only)
//   settings and reports    - render, fov, debug, help, seed, version, mods
//   dispatch                - history, the command table, mod commands, Tab completion

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

#include "game/environment.h"
#include "game/lifecycle.h"
#include "game/mobs.h"
#include "lang/translations.h"
#include "platform/version.h"
#include "world/block_registry.h"
#include "world/village.h"

namespace {

// ---------------------------------------------------------------------------
// Argument parsing

// The words Tab completion offers, in the order it tries them.
constexpr std::array<std::string_view, 20> kCommandWords = {
    "help",    "gamemode", "spectator", "tp",   "spawn",  "kill",   "time",
    "seed",    "save",     "mobs",      "mods", "render", "fov",    "debug",
    "version", "weather",  "fill",      "give", "clear",  "village"};

// Commands that change the shared world; a multiplayer client may not run them.
constexpr std::array<std::string_view, 5> kHostOnlyWords = {"save", "fill", "mobs", "time",
                                                            "weather"};

constexpr int kMinMobs = 1, kMaxMobs = 20, kDefaultMobs = 5;
constexpr int kMinRenderDistance = 4, kMaxRenderDistance = 16;
constexpr float kMinFov = 55.0f, kMaxFov = 100.0f;
constexpr int kMaxFillVolume = 4096;
constexpr int kMaxGive = kInventorySlots * kStackLimit;  // 2304
constexpr float kWeatherTimerAfterCommand = 90.0f;
constexpr float kVillageSearchRadius = 800.0f;
constexpr float kVillageTeleportEyeOffset = 1.0f + 1.63f;  // above the ground block
constexpr int kTeleportColumnRadius = 2;

bool isSpace(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string_view trimLeft(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && isSpace(text[i])) ++i;
  return text.substr(i);
}

std::vector<std::string> splitWords(std::string_view text) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && isSpace(text[i])) ++i;
    const size_t start = i;
    while (i < text.size() && !isSpace(text[i])) ++i;
    if (i > start) words.emplace_back(text.substr(start, i - start));
  }
  return words;
}

// The arguments after the command word, read in order.
struct Args {
  std::vector<std::string> words;
  bool has(size_t i) const { return i < words.size(); }
  const std::string& at(size_t i) const {
    static const std::string kEmpty;
    return i < words.size() ? words[i] : kEmpty;
  }
};

// A decimal integer that is the whole token and fits an int.
std::optional<int> parseInt(const std::string& token) {
  if (token.empty()) return std::nullopt;
  const size_t digits = (token[0] == '-' || token[0] == '+') ? 1 : 0;
  if (digits == token.size()) return std::nullopt;
  for (size_t i = digits; i < token.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(token[i]))) return std::nullopt;
  }
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(token.c_str(), &end, 10);
  if (errno == ERANGE || *end != '\0') return std::nullopt;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int>(value);
}

// A finite decimal number that is the whole token ("inf", "nan" and hex forms refused).
std::optional<float> parseFloat(const std::string& token) {
  if (token.empty()) return std::nullopt;
  for (char c : token) {
    const bool allowed = std::isdigit(static_cast<unsigned char>(c)) || c == '-' || c == '+' ||
                         c == '.' || c == 'e' || c == 'E';
    if (!allowed) return std::nullopt;
  }
  char* end = nullptr;
  const float value = std::strtof(token.c_str(), &end);
  if (end == token.c_str() || *end != '\0' || !std::isfinite(value)) return std::nullopt;
  return value;
}

// The block a typed name finds, or kNoBlock.
BlockId blockNamed(const std::string& name) {
  return name.empty() ? kNoBlock : findBlock(name);
}

// ---------------------------------------------------------------------------
// Player commands

void commandGameMode(Game& game, const Args& args) {
  const std::string mode = toLowerAscii(args.at(0));
  if (mode == "spectator" || mode == "s" || mode == "3") {
    setGameMode(game, GameModeSpectator);
  } else if (mode == "survival" || mode == "0") {
    setGameMode(game, GameModeSurvival);
  } else if (mode == "creative" || mode == "c" || mode == "1") {
    setGameMode(game, GameModeCreative);
  } else {
    addMessage(game, "Usage: /gamemode survival|creative|spectator");
  }
}

void commandTeleport(Game& game, const Args& args) {
  const std::optional<float> x = parseFloat(args.at(0));
  const std::optional<float> y = parseFloat(args.at(1));
  const std::optional<float> z = parseFloat(args.at(2));
  if (!x || !y || !z) {
    addMessage(game, "Usage: /tp x y z");
    return;
  }
  teleportPlayer(game, glm::vec3(*x, *y, *z), kTeleportColumnRadius);
  addMessage(game, "Teleported");
}

void moveToSpawn(Game& game) {
  game.player.position = game.spawnPoint;
  game.player.velocity = glm::vec3(0.0f);
}

void commandSpawn(Game& game) {
  moveToSpawn(game);
  addMessage(game, "Returned to spawn");
}

// Back to the spawn point without touching the hit points.
void commandKill(Game& game) {
  moveToSpawn(game);
  playGameSound(game, SoundPlayerHurt);
  addMessage(game, "Respawned");
}

void commandGive(Game& game, const Args& args) {
  const BlockId block = blockNamed(args.at(0));
  std::optional<int> count = 1;
  if (args.has(1)) count = parseInt(args.at(1));
  if (block == kNoBlock || block == kBlockAir || !count) {
    addMessage(game, "Usage: /give <block> [count]");
    return;
  }
  const int n = std::clamp(*count, 1, kMaxGive);
  if (!game.inventory.items.add(block, n)) {
    addMessage(game, "Inventory full");
    return;
  }
  addMessagef(game, "Gave %d %s", n, tr(blockDef(block).name).c_str());
}

void commandClear(Game& game) {
  game.inventory.items.clear();
  game.inventory.cursor = ItemStack{};
  addMessage(game, "Inventory cleared");
}

float horizontalDistanceToCentre(const Village& village, glm::vec3 eye) {
  const float dx = static_cast<float>(village.x) + 0.5f - eye.x;
  const float dz = static_cast<float>(village.z) + 0.5f - eye.z;
  return std::sqrt(dx * dx + dz * dz);
}

void commandVillage(Game& game, const Args& args) {
  World& world = *game.world;
  const glm::vec3 eye = game.player.position;
  const std::optional<Village> nearest = nearestVillage(world, eye, kVillageSearchRadius);
  if (!nearest) {
    addMessage(game, "No village within 800 blocks");
    return;
  }
  const float nearestDistance = horizontalDistanceToCentre(*nearest, eye);
  const std::string name = villageName(nearest->x, nearest->z, world.seed);
  if (args.at(0) == "tp") {
    const float ground = static_cast<float>(surfaceHeight(world, nearest->x, nearest->z));
    const glm::vec3 target(static_cast<float>(nearest->x) + 0.5f,
                           ground + kVillageTeleportEyeOffset,
                           static_cast<float>(nearest->z) + 0.5f);
    teleportPlayer(game, target, kTeleportColumnRadius);
    addMessagef(game, "Teleported to %s", name.c_str());
    return;
  }
  addMessagef(game, "%s  %d / %d  (%.0f blocks away)", name.c_str(), nearest->x, nearest->z,
              static_cast<double>(nearestDistance));
}

// ---------------------------------------------------------------------------
// World commands (host only)

void commandTime(Game& game, const Args& args) {
  const std::string& word = args.at(0);
  if (word == "day") {
    game.environment.timeOfDay = 0.25f;
    addMessage(game, "Time set to day");
  } else if (word == "night") {
    game.environment.timeOfDay = 0.75f;
    addMessage(game, "Time set to night");
  } else if (word == "set") {
    const std::optional<float> t = parseFloat(args.at(1));
    if (!t) {
      addMessage(game, "Usage: /time set <0-1>");
      return;
    }
    game.environment.timeOfDay = std::clamp(*t, 0.0f, 1.0f);
    addMessage(game, "Time set");
  } else {
    addMessage(game, "Usage: /time day|night|set <0-1>");
  }
}

// Every answer, the usage included, restarts the weather timer.
void commandWeather(Game& game, const Args& args) {
  game.environment.weatherTimer = kWeatherTimerAfterCommand;
  const std::string& word = args.at(0);
  if (word == "clear") {
    game.environment.weather = WeatherClear;
    addMessage(game, "Weather: clear");
  } else if (word == "rain") {
    game.environment.weather = WeatherRain;
    addMessage(game, "Weather: rain");
  } else if (word == "snow") {
    game.environment.weather = WeatherSnow;
    addMessage(game, "Weather: snow");
  } else {
    addMessage(game, "Usage: /weather clear|rain|snow");
  }
}

// A failed save has already said so in the log.
void commandSave(Game& game) {
  const bool saved = saveGame(game);
  refreshWorldList(game);
  if (saved) addMessagef(game, "Saved %s", game.worldName.c_str());
}

// A missing or unreadable count asks for the default.
void commandMobs(Game& game, const Args& args) {
  const int n = std::clamp(parseInt(args.at(0)).value_or(kDefaultMobs), kMinMobs, kMaxMobs);
  std::vector<Mob> spawned = spawnMobsAround(*game.world, clockRandom(), n, game.player.position);
  const int count = static_cast<int>(spawned.size());
  std::vector<Mob>& mobs = game.entities.mobs;
  mobs.insert(mobs.end(), spawned.begin(), spawned.end());
  assignEntityIds(game);
  addMessagef(game, "Spawned %d mobs", count);
}

struct FillBox {
  int x0, y0, z0, x1, y1, z1;  // inclusive, ordered
  int64_t volume() const {
    return (int64_t{x1} - x0 + 1) * (int64_t{y1} - y0 + 1) * (int64_t{z1} - z0 + 1);
  }
};

// Re-meshes every loaded section from one below to one above the box on each axis.
void remeshBox(Game& game, const FillBox& box) {
  const int sy0 = std::max(floorDiv16(box.y0) - 1, 0);
  const int sy1 = std::min(floorDiv16(box.y1) + 1, kSectionsPerColumn - 1);
  for (int cz = floorDiv16(box.z0) - 1; cz <= floorDiv16(box.z1) + 1; ++cz) {
    for (int cx = floorDiv16(box.x0) - 1; cx <= floorDiv16(box.x1) + 1; ++cx) {
      for (int sy = sy0; sy <= sy1; ++sy) {
        const ChunkKey key{cx, sy, cz};
        if (game.world->chunkLoaded(key)) remeshSection(game, key);
      }
    }
  }
}

void commandFill(Game& game, const Args& args) {
  std::array<int, 6> n{};
  for (size_t i = 0; i < n.size(); ++i) {
    const std::optional<int> value = parseInt(args.at(i));
    if (!value) {
      addMessage(game, "Usage: /fill x1 y1 z1 x2 y2 z2 <block>");
      return;
    }
    n[i] = *value;
  }
  const std::string& name = args.at(6);
  if (name.empty()) {
    addMessage(game, "Usage: /fill x1 y1 z1 x2 y2 z2 <block>");
    return;
  }
  const BlockId block = blockNamed(name);
  if (block == kNoBlock) {
    addMessagef(game, "Unknown block: %s", name.c_str());
    return;
  }
  const int top = kWorldHeight - 1;
  const FillBox box{
      std::min(n[0], n[3]), std::clamp(std::min(n[1], n[4]), 0, top), std::min(n[2], n[5]),
      std::max(n[0], n[3]), std::clamp(std::max(n[1], n[4]), 0, top), std::max(n[2], n[5])};
  const int64_t volume = box.volume();
  if (volume > kMaxFillVolume) {
    addMessage(game, "Too many blocks (max 4096)");
    return;
  }
  World& world = *game.world;
  // 64-bit counters: a box may end at the largest int.
  for (int64_t y = box.y0; y <= box.y1; ++y) {
    for (int64_t z = box.z0; z <= box.z1; ++z) {
      for (int64_t x = box.x0; x <= box.x1; ++x) {
        world.setBlock(static_cast<int>(x), static_cast<int>(y), static_cast<int>(z), block);
      }
    }
  }
  remeshBox(game, box);
  addMessagef(game, "Filled %d blocks", static_cast<int>(volume));
}

// ---------------------------------------------------------------------------
// Settings and reports

void commandRender(Game& game, const Args& args) {
  const std::optional<int> n = parseInt(args.at(0));
  if (!n) {
    addMessage(game, "Usage: /render <4-16>");
    return;
  }
  const int distance = std::clamp(*n, kMinRenderDistance, kMaxRenderDistance);
  game.settings.renderDistance = distance;
  game.meshScheduler.setRenderDistance(distance);
  addMessagef(game, "Render distance %d", distance);
}

void commandFov(Game& game, const Args& args) {
  const std::optional<float> f = parseFloat(args.at(0));
  if (!f) {
    addMessage(game, "Usage: /fov <55-100>");
    return;
  }
  const float fov = std::clamp(*f, kMinFov, kMaxFov);
  game.settings.fieldOfView = fov;
  addMessagef(game, "FOV %d", static_cast<int>(fov));
}

void commandDebug(Game& game) {
  game.flags.debugOverlay = !game.flags.debugOverlay;
  addMessage(game, game.flags.debugOverlay ? "Debug overlay on" : "Debug overlay off");
}

void commandHelp(Game& game) {
  static constexpr const char* kLines[] = {
      "Commands:",
      "/gamemode survival|creative|spectator  (or /gm 0|1|3)",
      "/spectator, /tp x y z, /spawn, /kill",
      "/time day|night|set <0-1>",
      "/seed, /save, /mobs <n>, /render <4-16>, /fov <55-100>",
      "/mods  (list loaded mods)",
      "/weather clear|rain|snow",
      "/fill x1 y1 z1 x2 y2 z2 <block>  (max 4096 blocks)",
      "/give <block> [count], /clear",
      "/village  (nearest village, /village tp)",
      "Right-click a villager: 8 planks for a bookshelf",
      "/debug, /version",
  };
  for (const char* line : kLines) addMessage(game, line);
  if (game.net.role == NetClient) {
    addMessage(game, "Client: /time, /weather, /fill, /mobs and /save are host-only");
  }
}

// Loaded mods in load order, then the ones that failed to load.
void commandMods(Game& game) {
  const std::vector<std::string> names = game.mods.modNames();
  const std::vector<std::string>& failed = game.mods.failedModNames();
  if (names.empty() && failed.empty()) {
    addMessage(game, "No mods loaded");
    return;
  }
  addMessagef(game, "%d mods", static_cast<int>(names.size()));
  for (const std::string& name : names) {
    if (game.mods.switchedOff(name)) {
      addMessagef(game, "  %s (switched off)", name.c_str());
    } else {
      addMessagef(game, "  %s", name.c_str());
    }
  }
  for (const std::string& name : failed) addMessagef(game, "  %s (failed to load)", name.c_str());
}

// ---------------------------------------------------------------------------
// Dispatch

void rememberLine(Game& game, const std::string& line) {
  ChatState& chat = game.chat;
  if (chat.history.empty() || chat.history.back() != line) {
    chat.history.push_back(line);
    if (chat.history.size() > kHistoryLimit) chat.history.erase(chat.history.begin());
  }
}

bool isHostOnly(std::string_view word) {
  return std::find(kHostOnlyWords.begin(), kHostOnlyWords.end(), word) != kHostOnlyWords.end();
}

// Runs a built-in command; false when `word` is none.
bool runBuiltin(Game& game, const std::string& word, const Args& args) {
  if (word == "help") {
    commandHelp(game);
  } else if (word == "gamemode" || word == "gm") {
    commandGameMode(game, args);
  } else if (word == "spectator") {
    toggleSpectator(game);
  } else if (word == "tp") {
    commandTeleport(game, args);
  } else if (word == "spawn") {
    commandSpawn(game);
  } else if (word == "kill") {
    commandKill(game);
  } else if (word == "time") {
    commandTime(game, args);
  } else if (word == "seed") {
    addMessagef(game, "Seed %u", game.world->seed);
  } else if (word == "save") {
    commandSave(game);
  } else if (word == "mobs") {
    commandMobs(game, args);
  } else if (word == "mods") {
    commandMods(game);
  } else if (word == "render") {
    commandRender(game, args);
  } else if (word == "fov") {
    commandFov(game, args);
  } else if (word == "debug") {
    commandDebug(game);
  } else if (word == "weather") {
    commandWeather(game, args);
  } else if (word == "fill") {
    commandFill(game, args);
  } else if (word == "give") {
    commandGive(game, args);
  } else if (word == "clear") {
    commandClear(game);
  } else if (word == "village") {
    commandVillage(game, args);
  } else {
    return false;
  }
  return true;
}

}  // namespace

void runCommand(Game& game, const std::string& line) {
  if (!line.empty()) {
    addMessage(game, line);  // as typed
    rememberLine(game, line);
  }
  game.chat.historyCursor = -1;

  std::string_view rest = line;
  if (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
  rest = trimLeft(rest);
  size_t wordEnd = 0;
  while (wordEnd < rest.size() && !isSpace(rest[wordEnd])) ++wordEnd;
  const std::string word = toLowerAscii(rest.substr(0, wordEnd));
  const std::string_view argumentText = trimLeft(rest.substr(wordEnd));
  if (word.empty()) return;

  if (word == "version") {
    addMessage(game, std::string("Orvane ") + kVersionText);
    return;
  }
  if (!game.world) {
    addMessage(game, "No world loaded");
    return;
  }
  if (game.net.role == NetClient && isHostOnly(word)) {
    addMessage(game, "Only the host can change the world");
    return;
  }
  const Args args{splitWords(argumentText)};
  if (runBuiltin(game, word, args)) return;

  // A command a mod runs on the host: the host runs it for this player and answers.
  if (game.net.role == NetClient && game.net.session && game.mods.isHostCommand(word)) {
    game.net.session->sendChat("/" + word + (argumentText.empty() ? "" : " ") +
                               std::string(argumentText));
    return;
  }
  std::string reply;
  if (game.mods.runModCommand(word, std::string(argumentText), game.net.playerName, reply,
                              game.net.localId)) {
    if (!reply.empty()) addMessage(game, reply);
    return;
  }
  addMessagef(game, "Unknown command: %s (try /help)", word.c_str());
}

bool isBuiltinCommandWord(const std::string& word) {
  return word == "gm" ||
         std::find(kCommandWords.begin(), kCommandWords.end(), word) != kCommandWords.end();
}

std::string completeCommand(const std::string& input) {
  if (input.empty() || input.front() != '/') return input;
  const std::string_view typed = std::string_view(input).substr(1);
  if (std::any_of(typed.begin(), typed.end(), isSpace)) return input;
  for (std::string_view word : kCommandWords) {
    if (word.starts_with(typed)) return "/" + std::string(word) + " ";
  }
  return input;
}
