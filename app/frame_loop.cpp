#include "app/frame_loop.h"

// Sections: simulation | camera and drawing | the pass (input: pass_input.cpp)

#include <algorithm>
#include <cmath>
#include <ctime>
#include <glm/gtc/matrix_transform.hpp>

#include "app/pass_input.h"
#include "game/environment.h"
#include "game/interaction.h"
#include "game/lifecycle.h"
#include "game/models.h"
#include "game/net_sync.h"
#include "platform/program_folder.h"
#include "platform/version.h"
#include "render/png_writer.h"
#include "render/renderer.h"

namespace {

constexpr float kMaxStep = 0.1f;

// --- Simulation ------------------------------------------------------------------------

void selectHotbar(Game& game, const InputRecord& input) {
  for (int slot = 0; slot < kHotbarSlots; ++slot) {
    if (input.down(GLFW_KEY_1 + slot)) game.inventory.items.select(slot);
  }
}

MovementInput movementWish(const Game& game, const InputRecord& input) {
  const Player& player = game.player;
  const float yaw = glm::radians(player.yaw);
  const bool flying = player.flying || player.gameMode == GameModeSpectator;
  const glm::vec3 forward =
      player.flying ? facingDirection(player) : glm::vec3(std::cos(yaw), 0.0f, std::sin(yaw));
  const glm::vec3 right(-std::sin(yaw), 0.0f, std::cos(yaw));
  MovementInput move;
  if (input.down(GLFW_KEY_W)) move.wish += forward;
  if (input.down(GLFW_KEY_S)) move.wish -= forward;
  if (input.down(GLFW_KEY_D)) move.wish += right;
  if (input.down(GLFW_KEY_A)) move.wish -= right;
  if (flying) {
    if (input.down(GLFW_KEY_SPACE)) move.wish.y += 1.0f;
    if (input.down(GLFW_KEY_LEFT_SHIFT)) move.wish.y -= 1.0f;
  }
  move.jump = input.down(GLFW_KEY_SPACE) && !flying;
  move.sprint = input.down(GLFW_KEY_LEFT_CONTROL);
  return move;
}

void advancePlayer(Game& game, const MovementInput& move, float dt) {
  game.player.mouseSensitivity = game.settings.mouseSensitivity;
  game.world->ensureColumnsAround(game.player.position.x, game.player.position.z, 1);
  const int fallDamage = stepPlayer(game.player, *game.world, dt, move);
  if (fallDamage > 0) damagePlayer(game, fallDamage);
}

void resetFromVoid(Game& game) {
  if (game.player.position.y >= -20.0f) return;
  game.player.position = game.spawnPoint;
  game.player.velocity = glm::vec3(0.0f);
}

void burnInLava(Game& game, float dt) {
  const glm::vec3 p = game.player.position;
  const BlockId feet = game.world->getBlock(static_cast<int>(std::floor(p.x)),
                                            static_cast<int>(std::floor(p.y - 0.9f)),
                                            static_cast<int>(std::floor(p.z)));
  if (feet != kBlockLava || game.player.gameMode != GameModeSurvival) {
    game.timers.lava = 0.0f;
    return;
  }
  game.timers.lava += dt;
  if (game.timers.lava > 0.6f) {
    game.timers.lava = 0.0f;
    damagePlayer(game, 2);
  }
}

void regenerate(Game& game, float dt) {
  game.timers.sinceDamage += dt;
  const int hp = game.player.hitPoints;
  if (game.player.gameMode != GameModeSurvival || hp < 1 || hp > 19 ||
      game.timers.sinceDamage <= 8.0f) {
    return;
  }
  game.timers.regeneration += dt;
  if (game.timers.regeneration > 3.0f) {
    game.timers.regeneration = 0.0f;
    game.player.hitPoints += 1;
  }
}

void easeFieldOfView(Game& game, const MovementInput& move, float dt) {
  const bool sprinting = move.sprint && glm::length(move.wish) > 0.001f;
  const float target = game.settings.fieldOfView + (sprinting ? 6.0f : 0.0f);
  game.currentFov += (target - game.currentFov) * std::min(8.0f * dt, 1.0f);
  game.currentFov = std::clamp(game.currentFov, 50.0f, 110.0f);
}

void footsteps(Game& game, float dt) {
  const Player& p = game.player;
  const float speed = std::sqrt(p.velocity.x * p.velocity.x + p.velocity.z * p.velocity.z);
  if (p.flying || p.gameMode == GameModeSpectator || !p.onGround || speed <= 0.5f) {
    game.timers.footstepDistance = 0.0f;
    return;
  }
  game.timers.footstepDistance += dt * speed;
  if (game.timers.footstepDistance > 2.4f) {
    game.timers.footstepDistance = 0.0f;
    playGameSound(game, SoundFootstep);
  }
}

}  // namespace

void tickMods(Game& game, float dt) {
  game.timers.modTick += dt;
  if (game.timers.modTick >= 0.05f) {
    game.mods.fireTick(game.timers.modTick);
    game.timers.modTick = 0.0f;
  }
}

void advanceCreatures(Game& game, float dt) {
  Entities& e = game.entities;
  if (game.net.role == NetClient) {
    for (Drop& drop : e.drops) {
      drop.age += dt;
      drop.spin += 2.2f * dt;
    }
    for (Mob& mob : e.mobs) {
      float diff = std::remainder(mob.heading - mob.displayedYaw, 2.0f * 3.14159265f);
      mob.displayedYaw += diff * std::min(12.0f * dt, 1.0f);
    }
    return;
  }
  std::vector<MobTarget> players;
  if (!game.net.dedicated) players.push_back({game.player.position, game.player.gameMode});
  if (game.net.role == NetHost) {
    for (const RemotePlayer& r : e.remotePlayers) {
      if (r.hasState) players.push_back({{r.targetX, r.targetY, r.targetZ}, r.gameMode});
    }
  }
  updateMobs(*game.world, e.mobs, dt, players);
  const bool pickup = !game.net.dedicated && game.player.gameMode != GameModeSpectator;
  updateDrops(*game.world, e.drops, game.player.position, game.inventory.items, pickup, dt);
}

namespace {

void slimeContact(Game& game, float dt) {
  Timers& timers = game.timers;
  Player& player = game.player;
  if (player.gameMode != GameModeSurvival) {
    timers.slimeContact = 0.0f;
    return;
  }
  timers.slimeContact = std::max(0.0f, timers.slimeContact - dt);
  if (timers.slimeContact > 0.0f) return;
  for (const Mob& mob : game.entities.mobs) {
    if (mob.type != MobSlime || mob.damageFlash > 0.0f) continue;
    const glm::vec3 d = player.position - mob.position;
    if (std::sqrt(d.x * d.x + d.z * d.z) >= 1.35f || std::fabs(d.y) >= 1.9f) continue;
    if (player.hitPoints > 0) {
      player.hitPoints = std::max(0, player.hitPoints - 1);
      player.damageFlash = 0.5f;
      timers.sinceDamage = 0.0f;
      playGameSound(game, SoundPlayerHurt);
    }
    const glm::vec3 push = glm::normalize(d + glm::vec3(0.001f)) * 5.0f;
    player.velocity.x += push.x;
    player.velocity.z += push.z;
    player.velocity.y = 3.0f;
    timers.slimeContact = 1.2f;
    return;
  }
}

void checkDeath(Game& game) {
  if (game.player.hitPoints >= 1 || game.screen != ScreenPlaying) return;
  setScreen(game, ScreenDead);
  addMessage(game, "You died");
}

void easeRemotePlayers(Game& game, float dt) {
  const float k = std::min(14.0f * dt, 1.0f);
  for (RemotePlayer& r : game.entities.remotePlayers) {
    r.shownX += (r.targetX - r.shownX) * k;
    r.shownY += (r.targetY - r.shownY) * k;
    r.shownZ += (r.targetZ - r.shownZ) * k;
  }
}

// --- Camera and drawing ----------------------------------------------------------------

void aimAtTarget(Game& game) {
  if (game.screen == ScreenMainMenu || !game.world) {
    game.target = Target{};
    return;
  }
  game.target = castTarget(*game.world, game.player.position, facingDirection(game.player), kReach);
}

void setLighting(Game& game, Renderer& renderer) {
  const Lighting light = game.screen == ScreenMainMenu || !game.world
                             ? menuLighting(game.environment.timeOfDay)
                             : worldLighting(game);
  renderer.setLighting(light.daylight, light.fogDistance, light.sunDirection);
}

}  // namespace

std::vector<EntityInstance> particleInstances(const std::vector<Particle>& particles) {
  std::vector<EntityInstance> out;
  out.reserve(particles.size());
  for (const Particle& p : particles) {
    EntityInstance instance;
    instance.x = p.position.x;
    instance.y = p.position.y;
    instance.z = p.position.z;
    instance.scale = p.size;
    instance.reserved = static_cast<float>(p.layer);
    out.push_back(instance);
  }
  return out;
}

std::vector<EntityInstance> entityInstances(const Game& game) {
  if (!game.world) return {};
  std::vector<AvatarPose> avatars;
  for (const RemotePlayer& r : game.entities.remotePlayers) {
    if (r.hasState) avatars.push_back({{r.shownX, r.shownY, r.shownZ}, r.yaw});
  }
  return buildEntityDrawList(game.entities.drops, game.entities.mobs, avatars);
}

std::string captureDescription(const Game& game, const std::string& software) {
  char text[512];
  if (game.screen == ScreenMainMenu || !game.world) {
    static const char* const kPages[] = {"main menu", "world list", "multiplayer menu",
                                         "connecting"};
    std::snprintf(text, sizeof text, "%s\nScreen: %s", software.c_str(),
                  kPages[std::clamp(game.menu.page, 0, 3)]);
    return text;
  }
  const float h = std::fmod(game.environment.timeOfDay * 24.0f + 6.0f, 24.0f);
  const int hours = static_cast<int>(std::floor(h));
  const int minutes = static_cast<int>(std::floor((h - static_cast<float>(hours)) * 60.0f));
  static const char* const kWeather[] = {"Clear", "Rain", "Snow"};
  const glm::vec3 p = game.player.position;
  std::snprintf(text, sizeof text,
                "%s\nWorld: %s\nSeed: %u\nPosition: %.2f, %.2f, %.2f\nIn-game time: %02d:%02d\n"
                "Weather: %s\nGame mode: %s",
                software.c_str(), game.worldName.empty() ? "(multiplayer)" : game.worldName.c_str(),
                game.seed, p.x, p.y, p.z, hours, minutes,
                kWeather[std::min<int>(game.environment.weather, 2)],
                gameModeName(game.player.gameMode));
  return text;
}

namespace {

std::string screenshotPath() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char name[64];
  std::strftime(name, sizeof name, "%Y-%m-%dT%H-%M-%S", &local);
  return dataFolder("screenshots") + "/" + name + "_OrvaC.png";
}

void drawScene(Game& game, Renderer& renderer, const glm::mat4& camera) {
  const std::vector<EntityInstance> entities = entityInstances(game);
  const std::vector<EntityInstance> particles = particleInstances(game.entities.particles);
  if (!game.flags.screenshotRequested) {
    renderer.drawFrame(camera, game.player.position, entities, particles);
    return;
  }
  game.flags.screenshotRequested = false;
  const std::string path = screenshotPath();
  const std::string software = std::string("Orvane ") + kVersionText;
  if (renderer.captureFrame(camera, game.player.position, entities, particles, path,
                            CaptureInfo{software, captureDescription(game, software)})) {
    addMessagef(game, "Screenshot saved: %s", path.c_str());
  } else {
    addMessagef(game, "Could not save screenshot %s", path.c_str());
  }
}

// Counts real time between passes, not the clamped simulation step: a game at one frame
// a second shows 1 FPS.
void countFrame(Game& game, double elapsed) {
  FrameStats& stats = game.frame;
  stats.frames += 1;
  stats.accumulator += static_cast<float>(elapsed);
  if (stats.accumulator >= 0.5f) {
    stats.framesPerSecond = static_cast<float>(stats.frames) / stats.accumulator;
    stats.frames = 0;
    stats.accumulator = 0.0f;
  }
}

void rememberInput(Game& game, const InputRecord& input) {
  game.input.keys = input.keys;
  game.input.leftButton = input.leftButton;
  game.input.rightButton = input.rightButton;
}

}  // namespace

glm::mat4 cameraMatrix(const Game& game, float aspect) {
  const glm::vec3 eye = game.player.position;
  const glm::mat4 view = glm::lookAt(eye, eye + facingDirection(game.player), glm::vec3(0, 1, 0));
  glm::mat4 projection = glm::perspective(glm::radians(game.currentFov), aspect, 0.05f, 600.0f);
  projection[1][1] = -projection[1][1];
  return projection * view;
}

void advanceHostWorld(Game& game, float dt) {
  advanceTimeOfDay(game, dt);
  advanceWeather(game, dt);
  game.world->tick(dt);
  tickMods(game, dt);
  advanceCreatures(game, dt);
}

void simulate(Game& game, const InputRecord& input, float dt) {
  selectHotbar(game, input);
  const MovementInput move = movementWish(game, input);
  advancePlayer(game, move, dt);
  resetFromVoid(game);
  burnInLava(game, dt);
  regenerate(game, dt);
  easeFieldOfView(game, move, dt);
  footsteps(game, dt);
  const bool client = game.net.role == NetClient;
  if (!client) advanceTimeOfDay(game, dt);
  advanceMinimap(game, dt);
  checkVillages(game, dt);
  if (!client) advanceWeather(game, dt);
  if (!client) game.world->tick(dt);
  if (!client) tickMods(game, dt);
  remeshChangedSections(game);
  advanceCreatures(game, dt);
  updateParticles(game.entities.particles, dt);
  slimeContact(game, dt);
  checkDeath(game);
  easeRemotePlayers(game, dt);
  game.meshScheduler.update(*game.world, *game.renderer, game.player.position.x,
                            game.player.position.z);
}

PassResult runFramePass(Game& game, InputRecord& input, double now, Renderer& renderer,
                        Screens& screens) {
  PassResult result;
  game.renderer = &renderer;
  if (input.closeRequested) game.flags.quitRequested = true;
  const double previous = game.frame.previousTime < 0.0 ? now : game.frame.previousTime;
  const double elapsed = std::max(0.0, now - previous);
  const float dt = static_cast<float>(std::min(elapsed, double{kMaxStep}));
  game.frame.previousTime = now;
  game.frame.dt = dt;
  game.clock = now;
  if (input.framebufferWidth == 0 || input.framebufferHeight == 0) {
    input.clearEvents();
    result.minimised = true;
    result.quit = game.flags.quitRequested;
    return result;
  }
  handleInput(game, input, dt);
  if (playingFree(game) && game.world) {
    simulate(game, input, dt);
  } else if (game.net.role == NetHost && game.world && game.screen != ScreenMainMenu) {
    // The players who joined go on while this one pauses, chats or looks at the inventory.
    advanceHostWorld(game, dt);
    remeshChangedSections(game);
  }
  syncNetwork(game, dt);

  const float aspect = static_cast<float>(input.framebufferWidth) / input.framebufferHeight;
  const glm::mat4 camera = cameraMatrix(game, aspect);
  aimAtTarget(game);
  if (playingFree(game) && game.world && game.player.gameMode != GameModeSpectator) {
    performMouseActions(game, passButtons(game, input), dt);
  }
  setLighting(game, renderer);

  renderer.setRenderToggles(game.settings.shadows, game.settings.postProcessing);
  renderer.beginUiFrame();
  const ScreenActions actions = screens.draw(game);
  drawScene(game, renderer, camera);
  performMenuAction(game, actions.menu);
  rememberInput(game, input);
  performPauseAction(game, actions.pause);
  performDeathAction(game, actions.death);
  countFrame(game, elapsed);

  input.clearEvents();
  result.quit = game.flags.quitRequested;
  return result;
}
