// NetSession's reliable delivery: numbering, the send window and its queue, timed
// resends, acknowledgements (prompt ones included), round-trip samples and in-order
// handling of what arrives.

#include "net/net_session.h"

#include <algorithm>

// --- Sending ---

void NetSession::sendReliable(NetPeer& peer, NetMessageType type,
                              const std::vector<uint8_t>& payload) {
  if (!socket_.isOpen() || payload.size() > kMaxPayloadBytes) return;
  NetUnacked entry;
  entry.sequence = peer.nextSendSeq++;
  entry.bytes.reserve(kHeaderBytes + payload.size());
  writeHeader(entry.bytes, type, entry.sequence, currentAck(peer));
  entry.bytes.insert(entry.bytes.end(), payload.begin(), payload.end());
  entry.sentAt = clock_();
  transmit(peer, entry.bytes);
  noteSent(peer);
  peer.unacked.push_back(std::move(entry));
}

void NetSession::sendUnreliable(NetPeer& peer, NetMessageType type,
                                const std::vector<uint8_t>& payload) {
  if (!socket_.isOpen() || payload.size() > kMaxPayloadBytes) return;
  scratch_.clear();
  writeHeader(scratch_, type, 0, currentAck(peer));
  scratch_.insert(scratch_.end(), payload.begin(), payload.end());
  transmit(peer, scratch_);
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

void NetSession::sendQueued(NetPeer& peer, NetMessageType type, std::vector<uint8_t> payload) {
  if (!socket_.isOpen() || payload.size() > kMaxPayloadBytes) return;
  peer.queue.push_back({type, std::move(payload)});
  flushQueue(peer);
}

void NetSession::transmit(NetPeer& peer, const std::vector<uint8_t>& bytes) {
  if (isHost_ && !peer.proven) {
    const size_t allowance = std::min(peer.bytesIn * kUnprovenReplyFactor, kUnprovenReplyBytes);
    if (peer.bytesOut + bytes.size() > allowance) return;  // as if lost; a real peer asks again
    peer.bytesOut += bytes.size();
  }
  socket_.sendTo(peer.address, bytes.data(), bytes.size());
}

void NetSession::sendDirect(NetPeer& peer, NetMessageType type,
                            const std::vector<uint8_t>& payload) {
  if (isHost_ && !peer.proven) {
    sendQueued(peer, type, payload);
  } else {
    sendReliable(peer, type, payload);
  }
}

void NetSession::flushQueue(NetPeer& peer) {
  // Nothing but the Welcome goes to an address that has not shown it receives there.
  if (!socket_.isOpen() || (isHost_ && !peer.proven)) return;
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
    transmit(peer, entry.bytes);
    entry.sentAt = now;
    ++entry.resends;
  }
  flushQueue(peer);
  return true;
}

// --- Receiving ---

void NetSession::addRoundTripSample(double ms) {
  roundTripMs_ =
      roundTripMs_ == 0 ? static_cast<int>(ms) : static_cast<int>(roundTripMs_ * 0.7 + ms * 0.3);
}

void NetSession::acknowledge(NetPeer& peer, uint32_t ack, double now) {
  if (ack == 0) return;
  while (!peer.unacked.empty() && peer.unacked.front().sequence <= ack) {
    const double ms = (now - peer.unacked.front().sentAt) * 1000.0;
    if (ms >= 0 && ms < 5000) {
      addRoundTripSample(ms);
      peer.roundTripMs = peer.roundTripMs == 0
                             ? static_cast<int>(ms)
                             : static_cast<int>(peer.roundTripMs * 0.7 + ms * 0.3);
    }
    peer.unacked.pop_front();
  }
}

void NetSession::processDatagram(NetPeer& peer, const DatagramHeader& header,
                                 std::optional<DecodedMessage> message) {
  const double now = clock_();
  peer.lastHeard = now;
  acknowledge(peer, header.ack, now);
  if (isHost_ && !peer.proven && peer.welcomeSeq != 0 && header.ack >= peer.welcomeSeq) {
    confirmPeer(peer);
  }
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
