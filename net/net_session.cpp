// NetSession: starting, stopping, handling each message and the per-frame update. The
// bytes on the wire are described at the top of net_wire.cpp; the peer table and
// admission live in net_admission.cpp, reliable delivery in net_delivery.cpp and the
// game's send operations (the join sequence among them) in net_join.cpp.
//
// Sections:
//   1. Start, stop and names
//   2. Handling one message on the host and on the client
//   3. The per-frame update

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

// --- 2. Handling one message ---

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
      // Every newcomer takes an id, forged ones too: after a long flood the counter may
      // wrap, and then it skips 0, the host's 1 and the ids still in use.
      const auto inUse = [&](uint32_t id) {
        return std::any_of(peers_.begin(), peers_.end(),
                           [&](const NetPeer& p) { return &p != &peer && p.playerId == id; });
      };
      do {
        peer.playerId = nextPlayerId_++;
      } while (peer.playerId < 2 || inUse(peer.playerId));
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
  // Everything else comes only from players.
  if (peer.playerId == 0 || !peer.proven) return;
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

// --- 3. The per-frame update ---

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
    const bool stale = peer.proven ? now - peer.lastHeard > kHostSilenceSeconds
                                   : now - peer.admittedAt > kUnprovenSeconds;
    if (stale || !resendDue(peer, now)) peer.closed = true;
  }
  // Only players are announced as leaving; an unproven peer is forgotten silently.
  std::vector<uint32_t> left;
  std::erase_if(peers_, [&](const NetPeer& p) {
    if (p.closed && p.playerId != 0 && p.proven) left.push_back(p.playerId);
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
