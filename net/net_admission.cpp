// NetSession's peer table and admission: which datagrams from which addresses a host
// takes, and how a stranger becomes a peer.

#include "net/net_session.h"

#include <algorithm>
#include <string>

#include "world/block_registry.h"

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
  NetPeer* peer = nullptr;
  if (it != peers_.end()) {
    peer = &*it;
    if (!peer->proven) peer->bytesIn += size;
  } else {
    // A stranger becomes a peer only by asking to join, with a complete Connect.
    if (!message || message->type != NetMessageType::Connect || !header->reliable) return;
    peer = admitStranger(from, *message, size);
    if (peer == nullptr) return;
  }
  processDatagram(*peer, *header, std::move(message));
}

NetPeer* NetSession::admitStranger(const Ipv4Endpoint& from, const DecodedMessage& connect,
                                   size_t size) {
  if (bans_.bansAddress(from.address) || bans_.bansName(sanitizePlayerName(connect.event.name))) {
    refuseStranger(from, kBannedReason);
    return nullptr;
  }
  if (provenPeerCount() >= maxPeers_) {
    refuseStranger(from, "The host is full");
    return nullptr;
  }
  // Room for the newcomer: the oldest unproven peer goes (silently: it never was a player).
  const auto unproven = [](const NetPeer& p) { return !p.proven && !p.closed; };
  if (static_cast<size_t>(std::count_if(peers_.begin(), peers_.end(), unproven)) >=
      kMaxUnprovenPeers) {
    peers_.erase(std::find_if(peers_.begin(), peers_.end(), unproven));
  }
  NetPeer fresh;
  fresh.address = from;
  fresh.lastHeard = fresh.admittedAt = clock_();
  fresh.bytesIn = size;
  peers_.push_back(std::move(fresh));
  return &peers_.back();
}

size_t NetSession::provenPeerCount() const {
  return static_cast<size_t>(std::count_if(peers_.begin(), peers_.end(),
                                           [](const NetPeer& p) { return p.proven && !p.closed; }));
}

bool NetSession::nameTaken(const std::string& name, const NetPeer& asking) const {
  const std::string lower = toLowerAscii(name);
  if (!hostPlayerName_.empty() && toLowerAscii(hostPlayerName_) == lower) return true;
  return std::any_of(peers_.begin(), peers_.end(), [&](const NetPeer& p) {
    return &p != &asking && p.proven && !p.closed && toLowerAscii(p.name) == lower;
  });
}

void NetSession::confirmPeer(NetPeer& peer) {
  if (peer.closed || peer.playerId == 0) return;
  if (provenPeerCount() >= maxPeers_) {
    peer.proven = true;  // it receives: the refusal may go out whole
    peer.closed = true;  // and is dropped without a PeerLeft: it never was a player
    peer.playerId = 0;
    sendReliable(peer, NetMessageType::Reject, encodeText("The host is full"));
    return;
  }
  peer.proven = true;
  peer.name = uniquePlayerName(peer.name, [&](const std::string& n) { return nameTaken(n, peer); });
  NetEvent e;
  e.kind = NetEventKind::PeerConfirmed;
  e.playerId = peer.playerId;
  e.name = peer.name;
  events_.push_back(std::move(e));
  flushQueue(peer);
}

// --- Names and bans ---

std::string uniquePlayerName(const std::string& name,
                             const std::function<bool(const std::string&)>& taken) {
  if (!taken(name)) return name;
  for (unsigned n = 2;; ++n) {
    const std::string suffix = std::to_string(n);
    const std::string candidate =
        name.substr(0, std::min(name.size(), kMaxPlayerNameBytes - suffix.size())) + suffix;
    if (!taken(candidate)) return candidate;
  }
}

bool NetBans::bansName(const std::string& name) const {
  const std::string lower = toLowerAscii(name);
  return std::any_of(names.begin(), names.end(),
                     [&](const std::string& n) { return toLowerAscii(n) == lower; });
}

bool NetBans::bansAddress(uint32_t address) const {
  return std::find(addresses.begin(), addresses.end(), address) != addresses.end();
}
