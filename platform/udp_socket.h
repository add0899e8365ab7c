#pragma once
// Non-blocking UDP over IPv4: the one kind of socket the multiplayer layer uses. Nothing
// here waits; a read with nothing queued reports so at once.

#include <cstddef>
#include <cstdint>

// An IPv4 address and port, both in host byte order (127.0.0.1 is 0x7F000001).
struct Ipv4Endpoint {
  uint32_t address = 0;
  uint16_t port = 0;
  bool operator==(const Ipv4Endpoint&) const = default;
};

inline constexpr uint32_t kIpv4Loopback = 0x7F000001;
inline constexpr uint32_t kIpv4Broadcast = 0xFFFFFFFF;

// What one receive call found.
enum class ReceiveStatus { Datagram, Nothing, Failed };

struct ReceivedDatagram {
  ReceiveStatus status = ReceiveStatus::Nothing;
  size_t size = 0;         // bytes stored in the buffer
  bool truncated = false;  // the datagram was longer than the buffer; its tail is lost
  Ipv4Endpoint from;
};

// Owns one socket descriptor; closes it on destruction. Move-only.
class UdpSocket {
 public:
  UdpSocket() = default;
  ~UdpSocket();
  UdpSocket(UdpSocket&& other) noexcept;
  UdpSocket& operator=(UdpSocket&& other) noexcept;
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  // Creates a non-blocking datagram socket (closing any previous one) with a receive
  // buffer large enough for a burst of a few hundred datagrams. False on failure.
  bool open();
  // Binds to `port` on every local IPv4 address (0 picks a free port). False when the
  // port is taken or the socket is not open.
  bool bindAny(uint16_t port);
  // Binds to `port` on 127.0.0.1 only (0 picks a free port).
  bool bindLoopback(uint16_t port);
  void close();
  bool isOpen() const { return fd_ >= 0; }
  // The locally bound port, 0 when unbound or closed.
  uint16_t localPort() const;

  // Sends one datagram; false when the system refused it (the caller may ignore that).
  bool sendTo(const Ipv4Endpoint& to, const uint8_t* data, size_t size) const;
  // Reads one datagram into `buffer` without waiting.
  ReceivedDatagram receive(uint8_t* buffer, size_t capacity) const;

 private:
  bool bindTo(uint32_t address, uint16_t port);
  int fd_ = -1;
};
