// Arbitrary datagrams for a host (from an accepted player and from a stranger) and for a
// client (from its host), with updates and time passing in between.
//
// Input: records of one control byte, a u16 length and that many datagram bytes.
// Control bit 0: 0 host, 1 client; bit 1: on the host, the stranger sends; bit 2: update
// afterwards; bits 3-7: seconds x 0.1 that pass before the datagram.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "net/net_session.h"

namespace {

const Ipv4Endpoint kPlayerAt{kIpv4Loopback, 1};
const Ipv4Endpoint kStrangerAt{kIpv4Loopback, 2};
const Ipv4Endpoint kHostAt{kIpv4Loopback, 3};

void touch(const std::vector<NetEvent>& events) {
  size_t sum = 0;
  for (const NetEvent& e : events) {
    sum += e.name.size() + e.text.size() + e.changes.size() + e.mobs.size() + e.drops.size();
  }
  volatile size_t sink = sum;
  (void)sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  double now = 100.0;
  const NetClock clock = [&now] { return now; };
  NetSession host(clock), client(clock);
  std::string error;
  if (!host.startHost(0, error) || !client.connect(kHostAt, "Fuzz", error)) return 0;
  std::vector<uint8_t> hello;
  writeHeader(hello, NetMessageType::Connect, 1, 0);
  const std::vector<uint8_t> payload = encodeConnect(2, 0, "Player");
  hello.insert(hello.end(), payload.begin(), payload.end());
  host.receiveDatagram(hello.data(), hello.size(), kPlayerAt);
  host.sendWelcome(2, 1, 0, 0, 0, 0, 0, "Host");
  // The player acknowledges its Welcome, so the host takes it for one.
  std::vector<uint8_t> ack;
  writeHeader(ack, NetMessageType::Ack, 0, 1);
  host.receiveDatagram(ack.data(), ack.size(), kPlayerAt);

  size_t at = 0;
  while (at + 3 <= size) {
    const uint8_t control = data[at];
    const size_t length = data[at + 1] | (data[at + 2] << 8);
    at += 3;
    const size_t n = length < size - at ? length : size - at;
    now += 0.1 * (control >> 3);
    if (control & 1) {
      client.receiveDatagram(data + at, n, kHostAt);
      if (control & 4) client.update();
    } else {
      host.receiveDatagram(data + at, n, (control & 2) ? kStrangerAt : kPlayerAt);
      if (control & 4) host.update();
    }
    at += n;
  }
  touch(host.takeEvents());
  touch(client.takeEvents());
  return 0;
}
