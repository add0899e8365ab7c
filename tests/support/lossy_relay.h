#pragma once
// A relay between one host and its clients that loses, repeats and reorders datagrams.

#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

#include "platform/udp_socket.h"

// Forwards datagrams between one host and whoever else talks to it.
class LossyRelay {
 public:
  LossyRelay(Ipv4Endpoint host, uint32_t seed) : host_(host), state_(seed) {
    EXPECT_TRUE(socket_.open());
    EXPECT_TRUE(socket_.bindLoopback(0));
  }
  Ipv4Endpoint endpoint() const { return {kIpv4Loopback, socket_.localPort()}; }

  // Forwards everything that has arrived: 20 % lost, 5 % sent twice, 10 % held back and
  // sent after the next one.
  void pump() {
    uint8_t buf[2048];
    for (;;) {
      const ReceivedDatagram got = socket_.receive(buf, sizeof buf);
      if (got.status != ReceiveStatus::Datagram) break;
      Packet p{got.from == host_ ? client_ : host_, {buf, buf + got.size}};
      if (got.from != host_) client_ = got.from;
      const uint32_t roll = next() % 100;
      if (roll < 20) {
        ++dropped;
      } else if (roll < 25) {
        forward(p);
        forward(p);
        ++duplicated;
      } else if (roll < 35 && !late_) {
        late_ = std::move(p);
        ++reordered;
      } else {
        forward(p);
      }
    }
    if (late_ && ++lateAge_ > 2) forward(*std::exchange(late_, std::nullopt));
  }

  int dropped = 0, duplicated = 0, reordered = 0;

 private:
  struct Packet {
    Ipv4Endpoint to;
    std::vector<uint8_t> bytes;
  };
  void forward(const Packet& p) {
    socket_.sendTo(p.to, p.bytes.data(), p.bytes.size());
    if (late_ && &p != &*late_) {
      Packet held = std::move(*late_);
      late_.reset();
      lateAge_ = 0;
      socket_.sendTo(held.to, held.bytes.data(), held.bytes.size());
    }
  }
  uint32_t next() {  // xorshift32
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }

  UdpSocket socket_;
  Ipv4Endpoint host_;
  Ipv4Endpoint client_;
  uint32_t state_;
  std::optional<Packet> late_;
  int lateAge_ = 0;
};
