#include "game/net_sync.h"

// Sections: periodic sends | host events | client events | starting and stopping

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unordered_map>

#include "game/environment.h"
#include "game/game_mod_context.h"
#include "game/lifecycle.h"
#include "lang/translations.h"
#include "render/renderer.h"

namespace {

constexpr float kStatePeriod = 0.05f;
constexpr float kEntityPeriod = 1.0f / 15.0f;
constexpr float kTimeWeatherPeriod = 1.0f;
constexpr float kPickupPeriod = 0.2f;
constexpr float kDegreesToRadians = 0.017453292f;
constexpr size_t kMaxListEntries = 40;
constexpr float kEditReach = 6.0f;
constexpr float kAttackReach = 7.0f;
// A player's state goes every pass to the players within this distance of it, and every
// kFarStatePasses-th pass (once a second) to the others, each player on its own pass.
constexpr float kNearStateSquared = 128.0f * 128.0f;
constexpr uint32_t kFarStatePasses = 20;
// The host logs at most this many chat lines per player and second.
constexpr int kChatLinesPerSecond = 5;

NetSession& session(Game& game) {
  return *game.net.session;
}

NetPlayerState ownState(const Game& game) {
  const Player& p = game.player;
  NetPlayerState state;
  state.playerId = game.net.localId;
  state.x = p.position.x;
  state.y = p.position.y;
  state.z = p.position.z;
  state.yaw = p.yaw * kDegreesToRadians;
  state.pitch = p.pitch * kDegreesToRadians;
  state.gameMode = p.gameMode;
  state.hitPoints = std::clamp(p.hitPoints, 0, 255);
  state.flying = p.flying;
  return state;
}

RemotePlayer* findRemote(Game& game, uint32_t id) {
  for (RemotePlayer& r : game.entities.remotePlayers) {
    if (r.id == id) return &r;
  }
  return nullptr;
}

// Where the host believes a client's eye is.
glm::vec3 requesterEye(Game& game, uint32_t id) {
  const RemotePlayer* r = findRemote(game, id);
  return r != nullptr && r->hasState ? glm::vec3(r->targetX, r->targetY, r->targetZ)
                                     : game.spawnPoint;
}

std::string requesterName(Game& game, uint32_t id) {
  const RemotePlayer* r = findRemote(game, id);
  return r != nullptr ? r->name : std::string("Player");
}

void resetRendering(Game& game) {
  game.renderer->clearChunkMeshes();
  game.meshScheduler.reset();
}

// --- Periodic sends --------------------------------------------------------------------

// Every state to the players near it; to the others on its once-a-second pass.
void broadcastStates(Game& game) {
  const uint32_t pass = game.net.timers.statePasses++;
  std::unordered_map<uint32_t, glm::vec3> receivers;
  for (uint32_t id : session(game).welcomedPlayerIds()) receivers[id] = requesterEye(game, id);
  const auto send = [&](const NetPlayerState& state) {
    if ((pass + state.playerId) % kFarStatePasses == 0) {
      session(game).broadcastPlayerState(state);
      return;
    }
    const glm::vec3 at(state.x, state.y, state.z);
    session(game).broadcastPlayerState(state, [&](uint32_t id) {
      const auto found = receivers.find(id);
      if (found == receivers.end()) return false;
      const glm::vec3 d = found->second - at;
      return glm::dot(d, d) <= kNearStateSquared;
    });
  };
  if (!game.net.dedicated) send(ownState(game));
  for (const RemotePlayer& r : game.entities.remotePlayers) {
    if (!r.hasState) continue;
    NetPlayerState state;
    state.playerId = r.id;
    state.x = r.targetX;
    state.y = r.targetY;
    state.z = r.targetZ;
    state.yaw = r.yaw;
    state.pitch = r.pitch;
    state.gameMode = r.gameMode;
    state.hitPoints = r.hitPoints;
    state.flying = false;
    send(state);
  }
}

template <class T>
std::vector<const T*> nearest(const std::vector<T>& list, glm::vec3 centre, float maxSquared) {
  std::vector<std::pair<float, const T*>> found;
  for (const T& item : list) {
    const glm::vec3 d = item.position - centre;
    const float squared = glm::dot(d, d);
    if (squared <= maxSquared) found.emplace_back(squared, &item);
  }
  std::stable_sort(found.begin(), found.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  if (found.size() > kMaxListEntries) found.resize(kMaxListEntries);
  std::vector<const T*> out;
  for (const auto& f : found) out.push_back(f.second);
  return out;
}

void sendEntityLists(Game& game) {
  for (uint32_t id : session(game).welcomedPlayerIds()) {
    const glm::vec3 centre = requesterEye(game, id);
    std::vector<NetMob> mobs;
    for (const Mob* m : nearest(game.entities.mobs, centre, 16384.0f)) {
      uint8_t flags = m->moving != 0 ? kMobFlagMoving : 0;
      if (m->damageFlash > 0.0f) flags |= kMobFlagDamageFlash;
      mobs.push_back({static_cast<uint32_t>(m->id), m->position.x, m->position.y, m->position.z,
                      m->displayedYaw, m->type, std::clamp(m->hitPoints, 0, 127), flags});
    }
    std::vector<NetDrop> drops;
    for (const Drop* d : nearest(game.entities.drops, centre, 9216.0f)) {
      drops.push_back({static_cast<uint32_t>(d->id), d->position.x, d->position.y, d->position.z,
                       d->item, static_cast<uint32_t>(std::clamp(d->count, 0, 65535)), d->age});
    }
    session(game).sendMobList(id, mobs);
    session(game).sendDropList(id, drops);
  }
}

// One console line for the chat lines a flood lost, once its second is over.
void reportDroppedChat(RemotePlayer& r) {
  if (r.chatDropped == 0) return;
  std::printf("chat: dropped %d lines from %s (more than %d a second)\n", r.chatDropped,
              r.name.c_str(), kChatLinesPerSecond);
  std::fflush(stdout);
  r.chatDropped = 0;
}

bool due(float& timer, float dt, float period) {
  timer += dt;
  if (timer < period) return false;
  timer = 0.0f;
  return true;
}

void hostSends(Game& game, float dt) {
  NetTimers& t = game.net.timers;
  for (RemotePlayer& r : game.entities.remotePlayers) {
    if (r.chatDropped > 0 && game.clock - r.chatSecondStart >= 1.0) reportDroppedChat(r);
  }
  if (due(t.playerState, dt, kStatePeriod)) broadcastStates(game);
  if (due(t.entities, dt, kEntityPeriod)) sendEntityLists(game);
  if (due(t.timeWeather, dt, kTimeWeatherPeriod)) {
    session(game).broadcastTimeWeather(game.environment.timeOfDay, game.environment.weather);
  }
  std::vector<CapturedChange> changes = game.world->takeCapturedChanges();
  if (!changes.empty() && !session(game).peers().empty()) {
    session(game).broadcastBlockChanges(changes);
  }
}

void requestPickup(Game& game) {
  const glm::vec3 eye = game.player.position;
  for (const Drop& d : game.entities.drops) {
    const float dx = d.position.x - eye.x, dz = d.position.z - eye.z, dy = d.position.y - eye.y;
    if (d.id == 0 || d.age < kDropPickupDelay || std::sqrt(dx * dx + dz * dz) >= 1.3f ||
        dy <= -1.9f || dy >= 1.5f || game.inventory.items.roomFor(d.item) < d.count) {
      continue;
    }
    session(game).sendPickupRequest(static_cast<uint32_t>(d.id));
    return;
  }
}

void clientSends(Game& game, float dt) {
  if (game.screen != ScreenPlaying) return;
  NetTimers& t = game.net.timers;
  if (due(t.playerState, dt, kStatePeriod)) session(game).sendPlayerState(ownState(game));
  t.pickup -= dt;
  if (t.pickup <= 0.0f) {
    t.pickup = kPickupPeriod;
    requestPickup(game);
  }
}

// --- Host events -----------------------------------------------------------------------

// A newcomer gets its Welcome at once; the rest of the join waits until it has shown that
// it receives at its address (onPeerConfirmed).
void onPeerJoined(Game& game, const NetEvent& e) {
  if (!game.world) return;
  session(game).sendWelcome(e.playerId, game.seed, game.spawnPoint.x, game.spawnPoint.y,
                            game.spawnPoint.z, game.environment.timeOfDay, game.environment.weather,
                            game.net.playerName);
}

void onPeerConfirmed(Game& game, const NetEvent& e) {
  if (!game.world) return;
  RemotePlayer& r = findOrCreateRemotePlayer(game.entities.remotePlayers, e.playerId, e.name);
  r.targetX = r.shownX = game.spawnPoint.x;
  r.targetY = r.shownY = game.spawnPoint.y;
  r.targetZ = r.shownZ = game.spawnPoint.z;
  r.hasState = false;
  const std::string name = r.name;
  NetSession& s = session(game);
  s.sendBlockBatches(e.playerId, editRecordChanges(*game.world));
  if (!game.net.dedicated) s.sendPlayerJoined(e.playerId, 1, game.net.playerName);
  for (const RemotePlayer& other : game.entities.remotePlayers) {
    if (other.id != e.playerId) s.sendPlayerJoined(e.playerId, other.id, other.name);
  }
  s.sendReady(e.playerId);
  s.broadcastPlayerJoined(e.playerId, name, e.playerId);
  addMessagef(game, "%s joined the game", name.c_str());
  game.mods.firePlayerJoin(e.playerId, name);
}

void onPeerLeft(Game& game, const NetEvent& e) {
  RemotePlayer* r = findRemote(game, e.playerId);
  if (r == nullptr) return;
  const std::string name = r->name;
  addMessagef(game, "%s left the game", name.c_str());
  game.mods.firePlayerLeave(e.playerId, name);
  removeRemotePlayer(game.entities.remotePlayers, e.playerId);
}

bool allowPlace(Game& game, const NetEvent& e, glm::vec3 eye) {
  const int x = e.blockX, y = e.blockY, z = e.blockZ;
  if (e.blockId >= blockCount()) return false;
  const BlockId current = game.world->getBlock(x, y, z);
  if (current != kBlockAir && !blockDef(current).fluid) return false;
  if (bodyOverlapsCell(eye, x, y, z)) return false;
  if (!game.mods.fireBlockPlace(x, y, z, blockDef(e.blockId).id, e.playerId,
                                requesterName(game, e.playerId))) {
    return false;
  }
  game.world->setBlock(x, y, z, e.blockId);
  return true;
}

bool allowBreak(Game& game, const NetEvent& e) {
  const int x = e.blockX, y = e.blockY, z = e.blockZ;
  const BlockId current = game.world->getBlock(x, y, z);
  if (current == kBlockAir || blockDef(current).fluid) return false;
  if (!game.mods.fireBlockBreak(x, y, z, blockDef(current).id, e.playerId,
                                requesterName(game, e.playerId))) {
    return false;
  }
  game.world->setBlock(x, y, z, kBlockAir);
  if (e.editGameMode == GameModeSurvival && blockDef(current).drop != 0) {
    spawnDrop(game.entities.drops, glm::vec3(x, y, z) + glm::vec3(0.5f), blockDef(current).drop, 1);
    assignEntityIds(game);
  }
  return true;
}

void onEditRequest(Game& game, const NetEvent& e) {
  const int x = e.blockX, y = e.blockY, z = e.blockZ;
  if (!game.world || !insideWorld(x, y, z)) return;
  game.world->ensureColumn(floorDiv16(x), floorDiv16(z));
  const glm::vec3 eye = requesterEye(game, e.playerId);
  const bool inReach = glm::length(glm::vec3(x, y, z) + glm::vec3(0.5f) - eye) <= kEditReach;
  const bool allowed = inReach && (e.blockId != 0 ? allowPlace(game, e, eye) : allowBreak(game, e));
  if (allowed) {
    remeshChangedSections(game);
    return;
  }
  const BlockId current = game.world->getBlock(x, y, z);
  const uint8_t level = blockDef(current).fluid ? game.world->fluidLevel(x, y, z) : kNoLevel;
  session(game).sendBlockBatches(e.playerId, {{x, y, z, current, level}});
}

void onAttackMob(Game& game, const NetEvent& e) {
  const glm::vec3 eye = requesterEye(game, e.playerId);
  auto& mobs = game.entities.mobs;
  auto it = std::find_if(mobs.begin(), mobs.end(),
                         [&](const Mob& m) { return static_cast<uint32_t>(m.id) == e.mobId; });
  if (it == mobs.end()) return;
  glm::vec3 diff = it->position - eye;
  const float d = glm::length(diff);
  if (d > kAttackReach) return;
  if (d < 0.001f) diff = {1.0f, 0.0f, 0.0f};
  const float length = glm::length(diff);
  it->hitPoints -= 1;
  it->damageFlash = 0.25f;
  it->fleeTimer = 4.0f;
  it->velocity.x += 5.0f * (diff.x / length);
  it->velocity.z += 5.0f * (diff.z / length);
  it->velocity.y = 3.5f;
  if (it->hitPoints <= 0) mobs.erase(it);
}

void onPickupRequest(Game& game, const NetEvent& e) {
  const RemotePlayer* r = findRemote(game, e.playerId);
  if (r == nullptr || !r->hasState) return;
  auto& drops = game.entities.drops;
  for (auto it = drops.begin(); it != drops.end(); ++it) {
    if (static_cast<uint32_t>(it->id) != e.dropId) continue;
    const float dx = it->position.x - r->targetX, dz = it->position.z - r->targetZ;
    const float dy = it->position.y - r->targetY;
    if (it->age < kDropPickupDelay || std::sqrt(dx * dx + dz * dz) > 1.3f || dy < -1.9f ||
        dy > 1.5f) {
      return;
    }
    session(game).sendPickupGranted(e.playerId, it->id, it->item,
                                    static_cast<uint16_t>(std::clamp(it->count, 0, 65535)));
    drops.erase(it);
    return;
  }
}

// --- Client events ---------------------------------------------------------------------

void onWelcome(Game& game, const NetEvent& e) {
  game.net.role = NetClient;
  game.net.localId = e.playerId;
  game.seed = e.seed;
  game.worldName.clear();
  resetRendering(game);
  game.world.reset();
  game.world = std::make_unique<World>(e.seed);
  game.world->setFluidSimulation(false);
  game.spawnPoint = {e.x, e.y, e.z};
  game.environment.timeOfDay = std::clamp(e.timeOfDay, 0.0f, 1.0f);
  game.environment.weather = e.weather > 2 ? uint8_t{WeatherClear} : e.weather;
  game.entities.mobs.clear();
  game.entities.drops.clear();
  game.entities.particles.clear();
  game.entities.remotePlayers.clear();
  RemotePlayer& host =
      findOrCreateRemotePlayer(game.entities.remotePlayers, 1, e.name.empty() ? "Host" : e.name);
  host.targetX = host.shownX = e.x;
  host.targetY = host.shownY = e.y;
  host.targetZ = host.shownZ = e.z;
  game.inventory = InventoryState{};
  game.net.downloadedEntries = 0;
  setMenuMessagef(game, "Downloading world...");
}

void onReady(Game& game) {
  if (!game.world || game.screen == ScreenPlaying) return;
  Player& p = game.player;
  p = Player{};
  p.position = game.spawnPoint;
  game.world->ensureColumnsAround(p.position.x, p.position.z, 3);
  for (int i = 0; i < 128 && bodyBlocked(*game.world, p.position); ++i) p.position.y += 1.0f;
  game.entities.mobs.clear();
  game.entities.drops.clear();
  game.entities.particles.clear();
  game.currentFov = game.settings.fieldOfView;
  game.environment.weatherTimer = 75.0f;
  game.timers.minimap = 999.0f;
  game.village.index = -1;
  game.menu.message.clear();
  game.menu.page = MenuPageMain;
  resetRendering(game);
  game.meshScheduler.setRenderDistance(game.settings.renderDistance);
  if (drawsWorld(game)) {
    game.meshScheduler.preload(*game.world, *game.renderer, p.position.x, p.position.z, 3);
  }
  setScreen(game, ScreenPlaying);
  const auto& others = game.entities.remotePlayers;
  addMessagef(game, "Joined %s's world",
              others.empty() ? tr("the host") : others.front().name.c_str());
}

// A host that refuses our mods cannot say which differ: the console lists ours, each
// with its own fingerprint, to compare with the list the host printed when it started.
void reportModListRefusal(Game& game, const std::string& reason) {
  if (reason != tr("Mod lists do not match")) return;
  std::fprintf(stderr, "mods: the host refused this game's mods: %s\n",
               game.mods.describeMods().c_str());
}

// Back to the multiplayer page with the reason, after Rejected or Disconnected.
void leaveToMultiplayerPage(Game& game, const std::string& reason) {
  if (game.screen != ScreenMainMenu) {
    quitToMenu(game);
  } else {
    closeConnection(game);
    game.world.reset();
    game.entities.remotePlayers.clear();
    resetRendering(game);
  }
  game.menu.page = MenuPageMultiplayer;
  game.menu.message = reason;
}

void onBlockBatch(Game& game, const NetEvent& e) {
  if (!game.world) return;
  applyBlockChanges(*game.world, e.changes);
  game.net.downloadedEntries += e.changes.size();
  if (game.screen != ScreenPlaying) return;
  std::vector<ChunkKey> keys;
  for (const BlockChange& c : e.changes) {
    const ChunkKey centre = chunkKeyOf(c.x, c.y, c.z);
    for (int sy = std::max(0, centre.sy - 1); sy <= std::min(3, centre.sy + 1); ++sy) {
      for (int cz = centre.cz - 1; cz <= centre.cz + 1; ++cz) {
        for (int cx = centre.cx - 1; cx <= centre.cx + 1; ++cx) keys.push_back({cx, sy, cz});
      }
    }
  }
  std::sort(keys.begin(), keys.end(), [](const ChunkKey& a, const ChunkKey& b) {
    return std::tie(a.cx, a.sy, a.cz) < std::tie(b.cx, b.sy, b.cz);
  });
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  for (const ChunkKey& key : keys) remeshSection(game, key);
}

void onMobList(Game& game, const NetEvent& e) {
  std::vector<Mob> mobs;
  mobs.reserve(e.mobs.size());
  for (const NetMob& n : e.mobs) {
    Mob m;
    m.id = static_cast<int>(n.id);
    m.position = m.home = {n.x, n.y, n.z};
    m.heading = n.yaw;
    m.displayedYaw = n.yaw;
    for (const Mob& old : game.entities.mobs) {
      if (old.id == m.id) m.displayedYaw = old.displayedYaw;
    }
    m.type = n.type;
    m.hitPoints = n.hitPoints;
    m.moving = (n.flags & kMobFlagMoving) != 0 ? 1 : 0;
    m.damageFlash = (n.flags & kMobFlagDamageFlash) != 0 ? 0.25f : 0.0f;
    m.animationTime = static_cast<float>(game.clock);
    m.circleDirection = 1.0f;
    mobs.push_back(m);
  }
  game.entities.mobs = std::move(mobs);
}

void onDropList(Game& game, const NetEvent& e) {
  std::vector<Drop> drops;
  drops.reserve(e.drops.size());
  for (const NetDrop& n : e.drops) {
    Drop d;
    d.id = static_cast<int>(n.id);
    d.position = {n.x, n.y, n.z};
    d.item = n.itemId;
    d.count = static_cast<int32_t>(std::max<uint32_t>(n.count, 1));
    d.age = n.age;
    d.spin = n.age * 2.2f;
    d.onGround = 1;
    drops.push_back(d);
  }
  game.entities.drops = std::move(drops);
}

void onTimeWeather(Game& game, const NetEvent& e) {
  game.environment.timeOfDay = std::clamp(e.timeOfDay, 0.0f, 1.0f);
  const uint8_t weather = e.weather > 2 ? uint8_t{WeatherClear} : e.weather;
  if (weather != game.environment.weather && game.screen == ScreenPlaying) {
    addMessage(game, weather == WeatherClear  ? "The sky clears"
                     : weather == WeatherRain ? "It starts to rain"
                                              : "It starts to snow");
  }
  game.environment.weather = weather;
}

void onPickupGranted(Game& game, const NetEvent& e) {
  if (e.itemId == 0 || e.itemId >= blockCount() || e.count == 0) return;
  game.inventory.items.add(e.itemId, e.count);
  std::erase_if(game.entities.drops,
                [&](const Drop& d) { return static_cast<uint32_t>(d.id) == e.dropId; });
  addMessagef(game, "Picked up %s x%d", tr(blockDef(e.itemId).name.c_str()),
              static_cast<int>(e.count));
}

void onPlayerState(Game& game, const NetEvent& e) {
  if (game.net.role == NetOffline || e.playerId == game.net.localId) return;
  applyRemoteState(findOrCreateRemotePlayer(game.entities.remotePlayers, e.playerId), e);
}

// Host: counts a player's chat line against its second; false when it is one too many.
bool chatLineAllowed(Game& game, uint32_t id) {
  RemotePlayer* r = findRemote(game, id);
  if (r == nullptr) return true;
  if (game.clock - r->chatSecondStart >= 1.0 || game.clock < r->chatSecondStart) {
    reportDroppedChat(*r);
    r->chatSecondStart = game.clock;
    r->chatLines = 0;
  }
  if (r->chatLines < kChatLinesPerSecond) {
    ++r->chatLines;
    return true;
  }
  ++r->chatDropped;
  return false;
}

void applyEvent(Game& game, const NetEvent& e) {
  const bool host = game.net.role == NetHost;
  switch (e.kind) {
    case NetEventKind::PeerJoined:
      if (host) onPeerJoined(game, e);
      break;
    case NetEventKind::PeerConfirmed:
      if (host) onPeerConfirmed(game, e);
      break;
    case NetEventKind::PeerLeft:
      if (host) onPeerLeft(game, e);
      break;
    case NetEventKind::EditRequest:
      if (host) onEditRequest(game, e);
      break;
    case NetEventKind::AttackMob:
      if (host && game.world) onAttackMob(game, e);
      break;
    case NetEventKind::PickupRequest:
      if (host) onPickupRequest(game, e);
      break;
    case NetEventKind::Welcome:
      if (!host) onWelcome(game, e);
      break;
    case NetEventKind::Ready:
      if (!host) onReady(game);
      break;
    case NetEventKind::Rejected:
      reportModListRefusal(game, e.text);
      addMessagef(game, "Join failed: %s", e.text.c_str());
      leaveToMultiplayerPage(game, e.text);
      break;
    case NetEventKind::Disconnected:
      addMessagef(game, "Disconnected: %s", e.text.c_str());
      leaveToMultiplayerPage(game, e.text);
      break;
    case NetEventKind::PlayerState:
      onPlayerState(game, e);
      break;
    case NetEventKind::PlayerJoined:
      if (!host && e.playerId != game.net.localId) {
        findOrCreateRemotePlayer(game.entities.remotePlayers, e.playerId, e.name);
      }
      break;
    case NetEventKind::PlayerLeft:
      if (host) break;
      if (const RemotePlayer* r = findRemote(game, e.playerId); r != nullptr) {
        const std::string name = r->name;
        removeRemotePlayer(game.entities.remotePlayers, e.playerId);
        if (game.screen == ScreenPlaying) addMessagef(game, "%s left the game", name.c_str());
      }
      break;
    case NetEventKind::BlockBatch:
      if (!host) onBlockBatch(game, e);
      break;
    case NetEventKind::MobList:
      if (!host) onMobList(game, e);
      break;
    case NetEventKind::DropList:
      if (!host) onDropList(game, e);
      break;
    case NetEventKind::TimeWeather:
      if (!host) onTimeWeather(game, e);
      break;
    case NetEventKind::PickupGranted:
      if (!host) onPickupGranted(game, e);
      break;
    case NetEventKind::Chat:
      if (host && !chatLineAllowed(game, e.playerId)) break;
      if (host && runJoinedPlayerModCommand(game, e.playerId, e.name, e.text)) break;
      addMessage(game, e.name + ": " + e.text);
      break;
  }
}

}  // namespace

void applyNetEvents(Game& game) {
  if (!game.net.session) return;
  for (const NetEvent& e : game.net.session->takeEvents()) {
    applyEvent(game, e);
    if (!game.net.session) return;
  }
}

void syncNetwork(Game& game, float dt) {
  if (!game.net.session || !game.net.session->active()) return;
  game.net.session->update();
  applyNetEvents(game);
  if (!game.net.session || !game.net.session->active() || !game.world) return;
  if (game.net.role == NetHost) hostSends(game, dt);
  if (game.net.role == NetClient) clientSends(game, dt);
}

// --- Starting and stopping -------------------------------------------------------------

bool startHosting(Game& game, uint16_t port, std::string& error) {
  closeConnection(game);
  game.net.session = std::make_unique<NetSession>();
  game.net.session->setModListHash(game.mods.modListHash());
  game.net.session->setHostPlayerName(game.net.playerName);
  if (!game.net.session->startHost(port, error)) {
    game.net.session.reset();
    return false;
  }
  game.net.role = NetHost;
  game.net.localId = 1;
  game.net.timers = NetTimers{};
  std::printf("mods: hosting with %s\n", game.mods.describeMods().c_str());
  std::fflush(stdout);
  return true;
}

bool startJoining(Game& game, const Ipv4Endpoint& address, std::string& error) {
  closeConnection(game);
  game.net.session = std::make_unique<NetSession>();
  game.net.session->setModListHash(game.mods.modListHash());
  if (!game.net.session->connect(address, game.net.playerName, error)) {
    game.net.session.reset();
    return false;
  }
  game.net.role = NetClient;
  game.net.localId = 0;
  game.net.timers = NetTimers{};
  return true;
}

void closeConnection(Game& game) {
  if (game.net.session) game.net.session->shutdown();
  game.net.role = NetOffline;
  game.net.localId = 0;
}
