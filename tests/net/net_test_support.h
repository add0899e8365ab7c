#pragma once
// Helpers for the multiplayer tests: a hand-stepped clock, a bare UDP endpoint that
// writes and reads datagrams byte by byte (written from the wire layout, not through
// the game's own encoder), and a pump that drives sessions until something happens.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "net/net_session.h"
#include "platform/udp_socket.h"

struct ManualClock {
  double now = 100.0;
  NetClock fn() {
    return [this] { return now; };
  }
};

// Little-endian payload builder.
struct Bytes {
  std::vector<uint8_t> b;
  Bytes& u8(uint8_t v) {
    b.push_back(v);
    return *this;
  }
  Bytes& u16(uint16_t v) { return u8(v & 0xFF).u8(v >> 8); }
  Bytes& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
  Bytes& f32(float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    return u32(bits);
  }
  Bytes& str(const std::string& s) {
    u16(static_cast<uint16_t>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
    return *this;
  }
  Bytes& raw(const std::vector<uint8_t>& more) {
    b.insert(b.end(), more.begin(), more.end());
    return *this;
  }
};

// A whole datagram: "OVNP", version, type, flags, sequence, ack, reserved, payload.
inline std::vector<uint8_t> datagram(uint8_t type, uint32_t seq, uint32_t ack,
                                     const std::vector<uint8_t>& payload = {},
                                     uint8_t version = 2) {
  Bytes d;
  d.u8('O').u8('V').u8('N').u8('P').u8(version).u8(type).u8(seq != 0 ? 1 : 0);
  d.u32(seq).u32(ack).u32(0).raw(payload);
  return d.b;
}

inline std::vector<uint8_t> connectPayload(const std::string& name, uint32_t version = 2,
                                           uint32_t hash = 0) {
  return Bytes().u32(version).u32(hash).str(name).b;
}

struct RawDatagram {
  uint8_t type = 0;
  uint8_t flags = 0;
  uint32_t seq = 0;
  uint32_t ack = 0;
  std::vector<uint8_t> payload;
};

inline uint32_t readLe32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// A UDP endpoint on 127.0.0.1 that plays a host or a client by hand.
class RawPeer {
 public:
  RawPeer() {
    EXPECT_TRUE(socket_.open());
    EXPECT_TRUE(socket_.bindLoopback(0));
  }
  Ipv4Endpoint endpoint() const { return {kIpv4Loopback, socket_.localPort()}; }
  void send(const Ipv4Endpoint& to, const std::vector<uint8_t>& bytes) const {
    socket_.sendTo(to, bytes.data(), bytes.size());
  }
  // The next datagram, waiting up to `waitMs`; checks the magic and version bytes.
  std::optional<RawDatagram> receive(int waitMs = 500) {
    uint8_t buf[2048];
    for (int i = 0; i <= waitMs; ++i) {
      const ReceivedDatagram got = socket_.receive(buf, sizeof buf);
      if (got.status == ReceiveStatus::Datagram) {
        EXPECT_GE(got.size, 19u);
        if (got.size < 19) return std::nullopt;
        EXPECT_EQ(std::memcmp(buf, "OVNP", 4), 0);
        EXPECT_EQ(buf[4], 2);
        EXPECT_EQ(readLe32(buf + 15), 0u) << "reserved field";
        RawDatagram d{buf[5], buf[6], readLe32(buf + 7), readLe32(buf + 11), {}};
        d.payload.assign(buf + 19, buf + got.size);
        return d;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return std::nullopt;
  }
  // Every datagram that arrives within `waitMs`, in arrival order.
  std::vector<RawDatagram> receiveAll(int waitMs = 20) {
    std::vector<RawDatagram> all;
    while (std::optional<RawDatagram> d = receive(waitMs)) all.push_back(std::move(*d));
    return all;
  }
  // Like receive, skipping datagrams of type `skip` (pings and pongs).
  std::optional<RawDatagram> receiveSkipping(uint8_t skip, int waitMs = 500) {
    for (;;) {
      std::optional<RawDatagram> d = receive(waitMs);
      if (!d || d->type != skip) return d;
    }
  }

 private:
  UdpSocket socket_;
};

// Updates the sessions every millisecond until `done` holds (true) or `maxMs` passes.
inline bool pumpUntil(std::initializer_list<NetSession*> sessions,
                      const std::function<bool()>& done, int maxMs = 2000) {
  for (int i = 0; i <= maxMs; ++i) {
    for (NetSession* s : sessions) s->update();
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

// Updates the sessions a few times over a few milliseconds: enough for loopback datagrams
// to arrive.
inline void settle(std::initializer_list<NetSession*> sessions, int ms = 15) {
  pumpUntil(
      sessions, [] { return false; }, ms);
}

// Collects events across calls.
struct EventLog {
  std::vector<NetEvent> all;
  void take(NetSession& s) {
    for (NetEvent& e : s.takeEvents()) all.push_back(std::move(e));
  }
  size_t count(NetEventKind kind) const {
    size_t n = 0;
    for (const NetEvent& e : all) n += e.kind == kind ? 1 : 0;
    return n;
  }
  const NetEvent* first(NetEventKind kind) const {
    for (const NetEvent& e : all) {
      if (e.kind == kind) return &e;
    }
    return nullptr;
  }
};
