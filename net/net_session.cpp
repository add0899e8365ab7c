// NetSession. The bytes on the wire are described at the top of net_wire.cpp.
//
// Sections:
//   1. Start, stop and names
//   2. Sending: reliable, unreliable, queued, resends
//   3. Receiving: header checks, acknowledgements, in-order delivery
//   4. Handling one message on the host and on the client
//   5. The per-frame update
//   6. The game's send and broadcast operations

#include "net/net_session.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "lang/translations.h"

// --- 1. Start, stop and names ---

double steadySeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::string sanitizePlayerName(const std::string& text) {
  constexpr size_t kMaxNameBytes = 20;
  std::string kept;
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 32 || b > 126) continue;
    kept.push_back(c);
    if (kept.size() == kMaxNameBytes) break;
  }
  const size_t first = kept.find_first_not_of(' ');
  if (first == std::string::npos) return "Player";
  const size_t last = kept.find_last_not_of(' ');
  return kept.substr(first, last - first + 1);
}

NetSession::NetSession(NetClock clock) : clock_(std::move(clock)) {}

NetSession::~NetSession() {
  shutdown();
}

void NetSession::resetToIdle() {
  active_ = false;
  isHost_ = false;
  ownId_ = 0;
  peers_.clear();
  server_ = NetPeer{};
  roundTripMs_ = 0;
  pingSentAt_ = 0;
}

bool NetSession::startHost(uint16_t port, std::string& error) {
  shutdown();
  events_.clear();
  if (!socket_.open()) {
    error = tr("Could not create UDP socket");
    return false;
  }
  if (!socket_.bindAny(port)) {
    socket_.close();
    char text[96];
    std::snprintf(text, sizeof text, tr("Port %u is already in use"), unsigned{port});
    error = text;
    return false;
  }
  resetToIdle();
  active_ = true;
  isHost_ = true;
  ownId_ = 1;
  nextPlayerId_ = 2;
  return true;
}

bool NetSession::connect(const Ipv4Endpoint& server, const std::string& playerName,
                         std::string& error) {
  shutdown();
  events_.clear();
  if (!socket_.open()) {
    error = tr("Could not create UDP socket");
    return false;
  }
  resetToIdle();
  active_ = true;
  serverAddress_ = server;
  server_.address = server;
  server_.lastHeard = clock_();
  sendQueued(server_, NetMessageType::Connect,
             encodeConnect(kConnectVersion, modListHash_, sanitizePlayerName(playerName)));
  return true;
}

void NetSession::shutdown() {
  if (active_) {
    const std::vector<uint8_t> goodbye = encodeText("Disconnected");
    auto sayGoodbye = [&](NetPeer& peer) {
      for (int i = 0; i < 3; ++i) sendReliable(peer, NetMessageType::Disconnect, goodbye);
    };
    if (isHost_) {
      for (NetPeer& peer : peers_) sayGoodbye(peer);
    } else {
      sayGoodbye(server_);
    }
  }
  socket_.close();
  resetToIdle();
}

bool NetSession::kick(uint32_t playerId, const std::string& reason) {
  NetPeer* peer = acceptedPeer(playerId);
  if (peer == nullptr || peer->closed) return false;
  const std::vector<uint8_t> goodbye = encodeText(reason);
  for (int i = 0; i < 3; ++i) sendReliable(*peer, NetMessageType::Disconnect, goodbye);
  peer->closed = true;
  return true;
}

std::vector<NetEvent> NetSession::takeEvents() {
  std::vector<NetEvent> out;
  out.swap(events_);
  return out;
}

// --- 2. Sending ---

void NetSession::sendReliable(NetPeer& peer, NetMessageType type,
                              const std::vector<uint8_t>& payload) {
  if (!socket_.isOpen() || payload.size() > kMaxPayloadBytes) return;
  NetUnacked entry;
  entry.sequence = peer.nextSendSeq++;
  entry.bytes.reserve(kHeaderBytes + payload.size());
  writeHeader(entry.bytes, type, entry.sequence, currentAck(peer));
  entry.bytes.insert(entry.bytes.end(), payload.begin(), payload.end());
  entry.sentAt = clock_();
  socket_.sendTo(peer.address, entry.bytes.data(), entry.bytes.size());
  noteSent(peer);
  peer.unacked.push_back(std::move(entry));
}

void NetSession::sendUnreliable(NetPeer& peer, NetMessageType type,
                                const std::vector<uint8_t>& payload) {
  if (!socket_.isOpen() || payload.size() > kMaxPayloadBytes) return;
  scratch_.clear();
  writeHeader(scratch_, type, 0, currentAck(peer));
  scratch_.insert(scratch_.end(), payload.begin(), payload.end());
  socket_.sendTo(peer.address, scratch_.data(), scratch_.size());
  noteSent(peer);
}

uint32_t NetSession::currentAck(const NetPeer& peer) {
  return peer.nextRecvSeq > 1 ? peer.nextRecvSeq - 1 : 0;
}

void NetSession::noteSent(NetPeer& peer) {
  peer.ackSent = currentAck(peer);
  peer.ackDueSince = -1;
}

void NetSession::acknowledgePromptly(NetPeer& peer, double now) {
  if (peer.ackDueSince < 0 || peer.closed) return;
  if (now - peer.ackDueSince >= kAckDelaySeconds ||
      currentAck(peer) - peer.ackSent >= kAckBacklog) {
    sendUnreliable(peer, NetMessageType::Ack, {});
  }
}

// A Connect the host cannot take: the refusal goes out once, as the reply to the
// Connect's sequence number 1, and nothing is kept about the sender.
void NetSession::refuseStranger(const Ipv4Endpoint& from, const char* reason) {
  if (!socket_.isOpen()) return;
  std::vector<uint8_t> datagram;
  writeHeader(datagram, NetMessageType::Reject, 1, 1);
  const std::vector<uint8_t> payload = encodeText(reason);
  datagram.insert(datagram.end(), payload.begin(), payload.end());
  socket_.sendTo(from, datagram.data(), datagram.size());
}

void NetSession::sendQueued(NetPeer& peer, NetMessageType type, std::vector<uint8_t> payload) {
  if (!socket_.isOpen() || payload.size() > kMaxPayloadBytes) return;
  peer.queue.push_back({type, std::move(payload)});
  flushQueue(peer);
}

void NetSession::flushQueue(NetPeer& peer) {
  if (!socket_.isOpen()) return;
  while (!peer.queue.empty() && peer.unacked.size() < kSendWindow) {
    NetQueued next = std::move(peer.queue.front());
    peer.queue.pop_front();
    sendReliable(peer, next.type, next.payload);
  }
}

bool NetSession::resendDue(NetPeer& peer, double now) {
  for (NetUnacked& entry : peer.unacked) {
    if (now - entry.sentAt < kResendSeconds) continue;
    if (entry.resends >= kMaxResends) return false;
    socket_.sendTo(peer.address, entry.bytes.data(), entry.bytes.size());
    entry.sentAt = now;
    ++entry.resends;
  }
  flushQueue(peer);
  return true;
}

// --- 3. Receiving ---

void NetSession::addRoundTripSample(double ms) {
  roundTripMs_ =
      roundTripMs_ == 0 ? static_cast<int>(ms) : static_cast<int>(roundTripMs_ * 0.7 + ms * 0.3);
}

void NetSession::acknowledge(NetPeer& peer, uint32_t ack, double now) {
  if (ack == 0) return;
  while (!peer.unacked.empty() && peer.unacked.front().sequence <= ack) {
    const double ms = (now - peer.unacked.front().sentAt) * 1000.0;
    if (ms >= 0 && ms < 5000) addRoundTripSample(ms);
    peer.unacked.pop_front();
  }
}

void NetSession::receiveDatagram(const uint8_t* data, size_t size, const Ipv4Endpoint& from) {
  if (!active_) return;
  const std::optional<DatagramHeader> header = readHeader(data, size);
  if (!header) return;
  // nullopt: a payload this end cannot use. From the peer it still counts for the
  // reliability layer, since its sender resends those very bytes until they are
  // acknowledged; only its handling is skipped.
  std::optional<DecodedMessage> message =
      decodeMessage(isHost_ ? NetReceiver::Host : NetReceiver::Client, header->type,
                    data + kHeaderBytes, size - kHeaderBytes);

  if (!isHost_) {
    if (from == serverAddress_) processDatagram(server_, *header, std::move(message));
    return;
  }
  auto it = std::find_if(peers_.begin(), peers_.end(),
                         [&](const NetPeer& p) { return p.address == from; });
  if (it == peers_.end()) {
    // A stranger becomes a peer only by asking to join, with a complete Connect.
    if (!message || message->type != NetMessageType::Connect || !header->reliable) return;
    const size_t open = static_cast<size_t>(
        std::count_if(peers_.begin(), peers_.end(), [](const NetPeer& p) { return !p.closed; }));
    if (open >= maxPeers_) {
      refuseStranger(from, "The host is full");
      return;
    }
    NetPeer fresh;
    fresh.address = from;
    fresh.lastHeard = clock_();
    peers_.push_back(std::move(fresh));
    it = peers_.end() - 1;
  }
  processDatagram(*it, *header, std::move(message));
}

void NetSession::processDatagram(NetPeer& peer, const DatagramHeader& header,
                                 std::optional<DecodedMessage> message) {
  const double now = clock_();
  peer.lastHeard = now;
  acknowledge(peer, header.ack, now);
  if (!header.reliable) {
    handle(peer, std::move(message));
    return;
  }
  const uint32_t s = header.sequence;
  if (peer.ackDueSince < 0) peer.ackDueSince = now;  // repeats too: our answer was lost
  if (s < peer.nextRecvSeq) return;                  // already handled
  if (s > peer.nextRecvSeq) {
    if (s - peer.nextRecvSeq < kHeldWindow) peer.held.try_emplace(s, std::move(message));
    return;
  }
  handle(peer, std::move(message));
  ++peer.nextRecvSeq;
  // A client that was just rejected or told to leave handles nothing more.
  while (active_) {
    auto next = peer.held.find(peer.nextRecvSeq);
    if (next == peer.held.end()) break;
    std::optional<DecodedMessage> held = std::move(next->second);
    peer.held.erase(next);
    handle(peer, std::move(held));
    ++peer.nextRecvSeq;
  }
}

// --- 4. Handling one message ---

void NetSession::handle(NetPeer& peer, std::optional<DecodedMessage> message) {
  if (!message) return;  // unusable: no event, no change
  if (isHost_) {
    handleOnHost(peer, std::move(*message));
  } else if (active_) {
    handleOnClient(std::move(*message));
  }
}

void NetSession::handleOnHost(NetPeer& peer, DecodedMessage m) {
  switch (m.type) {
    case NetMessageType::Connect: {
      if (peer.playerId != 0) return;
      const char* refusal = nullptr;
      if (m.version != kConnectVersion) {
        refusal = "Client and host versions do not match";
      } else if (m.modListHash != modListHash_) {
        refusal = "Mod lists do not match";
      }
      if (refusal != nullptr) {
        sendReliable(peer, NetMessageType::Reject, encodeText(refusal));
        peer.closed = true;
        return;
      }
      peer.playerId = nextPlayerId_++;
      peer.name = sanitizePlayerName(m.event.name);
      peer.welcomed = false;
      peer.lastState = NetPlayerState{};
      peer.lastState.playerId = peer.playerId;
      NetEvent e;
      e.kind = NetEventKind::PeerJoined;
      e.playerId = peer.playerId;
      e.name = peer.name;
      events_.push_back(std::move(e));
      return;
    }
    case NetMessageType::Disconnect:
      peer.closed = true;
      return;
    case NetMessageType::Ping:
      sendUnreliable(peer, NetMessageType::Pong, encodeId(m.pingId));
      return;
    default:
      break;
  }
  // Everything else comes only from accepted players.
  if (peer.playerId == 0) return;
  NetEvent& e = m.event;
  if (m.type == NetMessageType::PlayerState) {
    NetPlayerState& s = peer.lastState;
    s.playerId = peer.playerId;
    s.x = e.x, s.y = e.y, s.z = e.z, s.yaw = e.yaw, s.pitch = e.pitch;
    s.gameMode = e.gameMode;
    s.hitPoints = e.hitPoints;
    s.flying = e.flying;
    s.valid = true;
  }
  if (m.type == NetMessageType::Chat) {
    if (e.text.empty()) return;
    e.name = peer.name;
  }
  e.playerId = peer.playerId;
  events_.push_back(std::move(e));
}

void NetSession::handleOnClient(DecodedMessage m) {
  NetEvent& e = m.event;
  switch (m.type) {
    case NetMessageType::Welcome:
      ownId_ = e.playerId;
      if (e.name.empty()) e.name = "Host";
      break;
    case NetMessageType::Reject:
      e.text = e.text.empty() ? tr("Connection rejected") : tr(e.text);
      active_ = false;
      break;
    case NetMessageType::Disconnect:
      e.text = e.text.empty() ? tr("Host closed the connection") : tr(e.text);
      active_ = false;
      break;
    case NetMessageType::Pong:
      if (m.pingId == pingId_ && pingSentAt_ > 0) {
        addRoundTripSample((clock_() - pingSentAt_) * 1000.0);
      }
      return;
    default:
      break;
  }
  events_.push_back(std::move(e));
}

void NetSession::failClient(const std::string& reason) {
  NetEvent e;
  e.kind = NetEventKind::Disconnected;
  e.text = reason;
  events_.push_back(std::move(e));
  active_ = false;  // the socket stays open until shutdown
}

// --- 5. The per-frame update ---

void NetSession::update() {
  if (!active_) return;
  uint8_t buffer[kReceiveBufferBytes];
  for (int i = 0; i < kMaxReadsPerUpdate && active_; ++i) {
    const ReceivedDatagram got = socket_.receive(buffer, sizeof buffer);
    if (got.status != ReceiveStatus::Datagram) break;
    if (got.truncated) continue;  // longer than any datagram a peer may send
    receiveDatagram(buffer, got.size, got.from);
  }
  if (!active_) return;
  const double now = clock_();
  if (isHost_) {
    updateHostPeers(now);
    for (NetPeer& peer : peers_) acknowledgePromptly(peer, now);
  } else {
    updateClient(now);
    if (active_) acknowledgePromptly(server_, now);
  }
}

void NetSession::updateHostPeers(double now) {
  for (NetPeer& peer : peers_) {
    if (peer.closed) continue;
    if (now - peer.lastHeard > kHostSilenceSeconds || !resendDue(peer, now)) peer.closed = true;
  }
  std::vector<uint32_t> left;
  std::erase_if(peers_, [&](const NetPeer& p) {
    if (p.closed && p.playerId != 0) left.push_back(p.playerId);
    return p.closed;
  });
  for (uint32_t id : left) {
    NetEvent e;
    e.kind = NetEventKind::PeerLeft;
    e.playerId = id;
    events_.push_back(std::move(e));
    broadcastPlayerLeft(id);
  }
}

void NetSession::updateClient(double now) {
  if (now - server_.lastHeard > kClientSilenceSeconds) {
    failClient(tr("Connection timed out"));
    return;
  }
  if (now - server_.lastPing > kPingSeconds) {
    server_.lastPing = now;
    pingId_ = pingCounter_++;
    pingSentAt_ = now;
    sendUnreliable(server_, NetMessageType::Ping, encodeId(pingId_));
  }
  if (!resendDue(server_, now)) failClient(tr("Connection lost"));
}

// --- 6. The game's send and broadcast operations ---

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
    if (p.playerId != 0 && p.welcomed && !p.closed) fn(p);
  }
}

void NetSession::sendWelcome(uint32_t playerId, uint32_t seed, float spawnX, float spawnY,
                             float spawnZ, float timeOfDay, uint8_t weather,
                             const std::string& hostName) {
  NetPeer* peer = acceptedPeer(playerId);
  if (peer == nullptr) return;
  peer->welcomed = true;
  const NetWelcome w{playerId, seed, spawnX, spawnY, spawnZ, timeOfDay, weather, hostName};
  sendReliable(*peer, NetMessageType::Welcome, encodeWelcome(w));
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
  if (NetPeer* peer = acceptedPeer(playerId)) sendReliable(*peer, NetMessageType::Ready, {});
}

void NetSession::sendPlayerJoined(uint32_t toPlayerId, uint32_t aboutPlayerId,
                                  const std::string& name) {
  if (NetPeer* peer = acceptedPeer(toPlayerId)) {
    sendReliable(*peer, NetMessageType::PlayerJoined, encodePlayerJoined(aboutPlayerId, name));
  }
}

void NetSession::sendPickupGranted(uint32_t playerId, int32_t dropId, uint16_t itemId,
                                   uint16_t count) {
  if (NetPeer* peer = acceptedPeer(playerId)) {
    sendReliable(*peer, NetMessageType::PickupGranted, encodePickupGranted(dropId, itemId, count));
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
    if (p.playerId != 0 && p.welcomed && !p.closed) ids.push_back(p.playerId);
  }
  return ids;
}

void NetSession::sendMessage(uint32_t playerId, NetMessageType type,
                             const std::vector<uint8_t>& payload, bool reliable) {
  NetPeer* peer = isHost_ ? acceptedPeer(playerId) : &server_;
  if (peer == nullptr) return;
  if (reliable) {
    sendReliable(*peer, type, payload);
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
