#pragma once
// The running game's record. One Game exists per program run; the program entry owns it
// and every frame pass, lifecycle operation, chat command and network step reads and
// changes it. Fields are grouped in small records the way the game thinks of them.

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "game/drops.h"
#include "game/inventory.h"
#include "game/mobs.h"
#include "game/player.h"
#include "mods/mod_manager.h"
#include "net/game_sync.h"
#include "net/net_session.h"
#include "render/null_renderer.h"
#include "world/mesh_scheduler.h"
#include "world/world.h"

class GameModContext;

enum Screen : int { ScreenMainMenu = 0, ScreenPlaying = 1, ScreenPaused = 2, ScreenDead = 3 };
enum MenuPage : int {
  MenuPageMain = 0,
  MenuPageWorlds = 1,
  MenuPageMultiplayer = 2,
  MenuPageConnecting = 3
};
enum Weather : uint8_t { WeatherClear = 0, WeatherRain = 1, WeatherSnow = 2 };
enum NetRole : int { NetOffline = 0, NetHost = 1, NetClient = 2 };

inline constexpr int kNoMiningCell = -100000;
inline constexpr float kReach = 4.5f;
inline constexpr int kMinimapSize = 64;
inline constexpr size_t kMessageLogLimit = 40;
inline constexpr size_t kHistoryLimit = 30;
inline constexpr size_t kChatInputLimit = 200;

// A short-lived textured cube thrown out of a broken block.
struct Particle {
  glm::vec3 position{0.0f};
  glm::vec3 velocity{0.0f};
  float life = 0.0f, initialLife = 0.0f;
  float size = 0.0f;
  int32_t layer = 0;  // texture layer
};

// One line of the message log; `time` is the game clock when it was added.
struct LogMessage {
  std::string text;
  double time = 0.0;
};

// The main menu's fields and lists (drawn by the menus, acted on by the frame loop).
struct MenuState {
  int page = MenuPageMain;
  std::string worldName = "My World";  // new-world name field
  std::string seedText;                // empty: seed from the clock
  std::string playerName = "Player";
  std::string port = "27632";
  std::string address;
  std::vector<std::string> worlds;  // saved worlds, sorted
  int selected = -1;                // row of `worlds`, -1 none
  bool confirmDelete = false;
  std::string message;  // the menu's message line
};

struct Entities {
  std::vector<Mob> mobs;
  std::vector<Drop> drops;
  std::vector<Particle> particles;
  std::vector<RemotePlayer> remotePlayers;
  int nextEntityId = 1;
  uint32_t particleRandom = 0x9E3779B9u;  // one generator for every burst of particles
};

struct InventoryState {
  Inventory items;
  ItemStack cursor;  // held on the inventory screen
  bool open = false;
};

// Where spectator mode was entered from, restored on leaving it.
struct SpectatorMemory {
  glm::vec3 position{0.0f};
  uint8_t gameMode = GameModeCreative;
};

struct VillageTracking {
  int index = -1;  // -1: in no village
  int x = 0, z = 0;
  float checkTimer = 0.0f;
};

struct Settings {
  float mouseSensitivity = 0.12f;
  float fieldOfView = 70.0f;  // degrees, vertical
  int renderDistance = 8;     // chunks
  bool shadows = true;
  bool postProcessing = true;
};

struct Environment {
  float timeOfDay = 0.0f;  // [0, 1): 0 sunrise, 0.25 noon, 0.5 sunset, 0.75 midnight
  uint8_t weather = WeatherClear;
  float weatherTimer = 75.0f;  // seconds to the next roll
};

// Seconds unless noted.
struct Timers {
  float sinceDamage = 0.0f;
  float regeneration = 0.0f;
  float lava = 0.0f;
  float attackCooldown = 0.0f;
  float footstepDistance = 0.0f;  // blocks
  float minimap = 0.0f;
  float slimeContact = 0.0f;
  float modTick = 0.0f;
};

struct Mining {
  glm::ivec3 cell{kNoMiningCell};
  float progress = 0.0f;  // 0..1
};

// What the view ray found this pass.
struct Target {
  bool hit = false;
  glm::ivec3 cell{0};   // the solid block
  glm::ivec3 place{0};  // the cell in front of it
};

struct ChatState {
  bool open = false;
  bool talking = false;  // opened with T: the empty input shows its hint
  std::string input;
  std::deque<LogMessage> log;
  std::vector<std::string> history;  // oldest first
  int historyCursor = -1;            // -1: not browsing
  float backspaceHeld = 0.0f;
  float backspaceRepeat = 0.0f;
};

struct Flags {
  bool debugOverlay = false;
  bool minimap = true;
  bool screenshotRequested = false;
  bool quitRequested = false;  // the window should close
};

// Periodic sends of the connection, seconds.
struct NetTimers {
  float playerState = 0.0f;
  float entities = 0.0f;
  float timeWeather = 0.0f;
  float pickup = 0.0f;       // client: until the next pick-up request
  uint32_t statePasses = 0;  // host: player-state broadcasts so far
};

struct NetState {
  int role = NetOffline;
  uint32_t localId = 0;
  std::string playerName = "Player";
  std::unique_ptr<NetSession> session;
  NetTimers timers;
  size_t downloadedEntries = 0;  // client: world entries received since Welcome
  bool dedicated = false;        // a server: the host has no player of its own
};

// 64 x 64 colours, RGBA, row i is z, column j is x.
struct Minimap {
  std::array<uint8_t, kMinimapSize * kMinimapSize * 4> colours{};
  int originX = 0, originZ = 0;
};

// Button and key memory of the previous pass, and the double-tap of Space.
struct InputMemory {
  std::vector<uint8_t> keys;  // indexed by key code
  bool leftButton = false, rightButton = false;
  bool cursorValid = false;  // the next cursor event only records the position
  double cursorX = 0.0, cursorY = 0.0;
  double lastSpacePress = -1.0;  // game clock; -1: no press to pair with
  // The key whose typed character opened the chat (-1 none or released) and that
  // character: while the key is held, its auto-repeat types nothing.
  int chatKey = -1;
  uint32_t chatCharacter = 0;
};

struct FrameStats {
  double previousTime = -1.0;  // clock of the previous pass, -1 before the first
  int frames = 0;
  float accumulator = 0.0f;
  float framesPerSecond = 0.0f;
  float dt = 0.0f;  // step of the latest pass
};

struct Game {
  Game();
  ~Game();
  Game(const Game&) = delete;
  Game& operator=(const Game&) = delete;

  int screen = ScreenMainMenu;
  MenuState menu;

  Player player;
  float currentFov = 70.0f;  // eased towards the setting

  std::unique_ptr<World> world;
  std::string worldName;
  uint32_t seed = 0;
  glm::vec3 spawnPoint{0.0f};

  Entities entities;
  InventoryState inventory;
  SpectatorMemory spectator;
  VillageTracking village;
  Settings settings;
  Environment environment;
  Timers timers;
  Mining mining;
  Target target;
  ChatState chat;
  Flags flags;
  NetState net;
  Minimap minimap;
  InputMemory input;
  FrameStats frame;

  // Game clock in seconds (the window library's clock in the interactive game).
  double clock = 0.0;
  // Sounds asked for since the program last played them, by sound id.
  std::vector<int> pendingSounds;

  std::string savesFolder;  // where worlds are listed, loaded and saved
  MeshScheduler meshScheduler;
  NullRenderer noRenderer;
  Renderer* renderer = &noRenderer;  // not owned; the program entry sets the real one
  ModManager mods;
  std::unique_ptr<GameModContext> modContext;
};

// Sound ids.
enum GameSound : int {
  SoundBlockBroken = 0,
  SoundBlockPlaced = 1,
  SoundFootstep = 2,
  SoundPlayerHurt = 3
};

inline void playGameSound(Game& game, int id) {
  game.pendingSounds.push_back(id);
}

// Gives every mob and drop without an id the next entity id.
void assignEntityIds(Game& game);

// False while nothing draws the world (a server, a headless run): meshing is skipped then.
inline bool drawsWorld(const Game& game) {
  return game.renderer != &game.noRenderer;
}

// Re-meshes one loaded section now and hands both meshes to the renderer.
void remeshSection(Game& game, ChunkKey key);
// Re-meshes every loaded section the world reports as changed (an edit marks its section
// and the neighbours it touches) and hands the meshes to the renderer.
void remeshChangedSections(Game& game);
