// NetSession's peer table and admission: which datagrams from which addresses a host
// takes, and how a stranger becomes a peer.

#include "net/net_session.h"

#include <algorithm>

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
