// NetSession's send operations for the game: the join sequence a host sends a newcomer,
// what it sends single players, its broadcasts, and a client's messages to its host.

#include "net/net_session.h"

#include <algorithm>

// --- The game's send and broadcast operations ---

NetPeer* NetSession::acceptedPeer(uint32_t playerId) {
  if (!isHost_ || playerId == 0) return nullptr;
  for (NetPeer& p : peers_) {
    if (p.playerId == playerId) return &p;
  }
  return nullptr;
}

template <class Fn>
void NetSession::forEachBroadcastPeer(Fn fn) {
  if (!isHost_) return;
  for (NetPeer& p : peers_) {
    if (p.playerId != 0 && p.welcomed && p.proven && !p.closed) fn(p);
  }
}

void NetSession::sendWelcome(uint32_t playerId, uint32_t seed, float spawnX, float spawnY,
                             float spawnZ, float timeOfDay, uint8_t weather,
                             const std::string& hostName) {
  NetPeer* peer = acceptedPeer(playerId);
  if (peer == nullptr) return;
  peer->welcomed = true;
  const NetWelcome w{playerId, seed, spawnX, spawnY, spawnZ, timeOfDay, weather, hostName};
  const uint32_t sequence = peer->nextSendSeq;
  sendReliable(*peer, NetMessageType::Welcome, encodeWelcome(w));
  if (peer->welcomeSeq == 0 && peer->nextSendSeq != sequence) peer->welcomeSeq = sequence;
}

void NetSession::sendBlockBatches(uint32_t playerId, const std::vector<BlockChange>& changes) {
  NetPeer* peer = acceptedPeer(playerId);
  if (peer == nullptr) return;
  for (size_t at = 0; at < changes.size(); at += kBatchEntriesPerMessage) {
    const size_t n = std::min(kBatchEntriesPerMessage, changes.size() - at);
    peer->queue.push_back({NetMessageType::BlockBatch, encodeBlockBatch(&changes[at], n)});
  }
  flushQueue(*peer);
}

void NetSession::sendReady(uint32_t playerId) {
  if (NetPeer* peer = acceptedPeer(playerId)) sendDirect(*peer, NetMessageType::Ready, {});
}

void NetSession::sendPlayerJoined(uint32_t toPlayerId, uint32_t aboutPlayerId,
                                  const std::string& name) {
  if (NetPeer* peer = acceptedPeer(toPlayerId)) {
    sendDirect(*peer, NetMessageType::PlayerJoined, encodePlayerJoined(aboutPlayerId, name));
  }
}

void NetSession::sendPickupGranted(uint32_t playerId, int32_t dropId, uint16_t itemId,
                                   uint16_t count) {
  if (NetPeer* peer = acceptedPeer(playerId)) {
    sendDirect(*peer, NetMessageType::PickupGranted, encodePickupGranted(dropId, itemId, count));
  }
}

void NetSession::sendMobList(uint32_t playerId, const std::vector<NetMob>& mobs) {
  if (mobs.size() > kMaxListEntries) return;
  if (NetPeer* peer = acceptedPeer(playerId)) {
    sendUnreliable(*peer, NetMessageType::MobList, encodeMobList(mobs));
  }
}

void NetSession::sendDropList(uint32_t playerId, const std::vector<NetDrop>& drops) {
  if (drops.size() > kMaxListEntries) return;
  if (NetPeer* peer = acceptedPeer(playerId)) {
    sendUnreliable(*peer, NetMessageType::DropList, encodeDropList(drops));
  }
}

void NetSession::broadcastChat(const std::string& name, const std::string& text,
                               uint32_t exceptPlayerId) {
  const std::vector<uint8_t> payload = encodeHostChat(name, text);
  forEachBroadcastPeer([&](NetPeer& p) {
    if (p.playerId != exceptPlayerId) sendReliable(p, NetMessageType::Chat, payload);
  });
}

void NetSession::broadcastPlayerJoined(uint32_t playerId, const std::string& name,
                                       uint32_t exceptPlayerId) {
  const std::vector<uint8_t> payload = encodePlayerJoined(playerId, name);
  forEachBroadcastPeer([&](NetPeer& p) {
    if (p.playerId != exceptPlayerId) sendReliable(p, NetMessageType::PlayerJoined, payload);
  });
}

void NetSession::broadcastPlayerLeft(uint32_t playerId) {
  const std::vector<uint8_t> payload = encodeId(playerId);
  forEachBroadcastPeer([&](NetPeer& p) { sendReliable(p, NetMessageType::PlayerLeft, payload); });
}

void NetSession::broadcastPlayerState(const NetPlayerState& state) {
  const std::vector<uint8_t> payload = encodePlayerState(state);
  forEachBroadcastPeer([&](NetPeer& p) {
    if (p.playerId != state.playerId) sendUnreliable(p, NetMessageType::PlayerState, payload);
  });
}

void NetSession::broadcastPlayerState(const NetPlayerState& state,
                                      const std::function<bool(uint32_t)>& wanted) {
  const std::vector<uint8_t> payload = encodePlayerState(state);
  forEachBroadcastPeer([&](NetPeer& p) {
    if (p.playerId != state.playerId && wanted(p.playerId)) {
      sendUnreliable(p, NetMessageType::PlayerState, payload);
    }
  });
}

void NetSession::broadcastTimeWeather(float timeOfDay, uint8_t weather) {
  const std::vector<uint8_t> payload = encodeTimeWeather(timeOfDay, weather);
  forEachBroadcastPeer(
      [&](NetPeer& p) { sendUnreliable(p, NetMessageType::TimeWeather, payload); });
}

void NetSession::broadcastBlockChanges(const std::vector<BlockChange>& changes) {
  for (uint32_t id : welcomedPlayerIds()) sendBlockBatches(id, changes);
}

std::vector<uint32_t> NetSession::welcomedPlayerIds() const {
  std::vector<uint32_t> ids;
  if (!isHost_) return ids;
  for (const NetPeer& p : peers_) {
    if (p.playerId != 0 && p.welcomed && p.proven && !p.closed) ids.push_back(p.playerId);
  }
  return ids;
}

void NetSession::sendMessage(uint32_t playerId, NetMessageType type,
                             const std::vector<uint8_t>& payload, bool reliable) {
  NetPeer* peer = isHost_ ? acceptedPeer(playerId) : &server_;
  if (peer == nullptr) return;
  if (reliable) {
    sendDirect(*peer, type, payload);
  } else {
    sendUnreliable(*peer, type, payload);
  }
}

void NetSession::sendPlayerState(const NetPlayerState& state) {
  if (!isHost_) sendUnreliable(server_, NetMessageType::PlayerState, encodePlayerState(state));
}

void NetSession::sendEditRequest(int32_t x, int32_t y, int32_t z, uint16_t blockId,
                                 uint8_t gameMode) {
  if (!isHost_) {
    sendQueued(server_, NetMessageType::EditRequest, encodeEditRequest(x, y, z, blockId, gameMode));
  }
}

void NetSession::sendChat(const std::string& text) {
  if (!isHost_) sendQueued(server_, NetMessageType::Chat, encodeText(text));
}

void NetSession::sendAttackMob(uint32_t mobId) {
  if (!isHost_) sendQueued(server_, NetMessageType::AttackMob, encodeId(mobId));
}

void NetSession::sendPickupRequest(uint32_t dropId) {
  if (!isHost_) sendQueued(server_, NetMessageType::PickupRequest, encodeId(dropId));
}
