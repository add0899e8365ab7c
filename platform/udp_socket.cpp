#include "platform/udp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace {

// Asked for per socket; the kernel caps it at its own maximum.
constexpr int kReceiveBufferBytes = 1 << 20;

sockaddr_in toSockaddr(const Ipv4Endpoint& e) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(e.address);
  sa.sin_port = htons(e.port);
  return sa;
}

}  // namespace

UdpSocket::~UdpSocket() {
  close();
}

UdpSocket::UdpSocket(UdpSocket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

bool UdpSocket::open() {
  close();
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
  if (fd_ < 0) return false;
  const int size = kReceiveBufferBytes;
  ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);  // best effort
  return true;
}

bool UdpSocket::bindTo(uint32_t address, uint16_t port) {
  if (fd_ < 0) return false;
  const sockaddr_in sa = toSockaddr({address, port});
  return ::bind(fd_, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) == 0;
}

bool UdpSocket::bindAny(uint16_t port) {
  return bindTo(INADDR_ANY, port);
}

bool UdpSocket::bindLoopback(uint16_t port) {
  return bindTo(kIpv4Loopback, port);
}

void UdpSocket::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

uint16_t UdpSocket::localPort() const {
  if (fd_ < 0) return 0;
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return 0;
  return ntohs(sa.sin_port);
}

bool UdpSocket::sendTo(const Ipv4Endpoint& to, const uint8_t* data, size_t size) const {
  if (fd_ < 0) return false;
  const sockaddr_in sa = toSockaddr(to);
  const ssize_t sent =
      ::sendto(fd_, data, size, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
  return sent == static_cast<ssize_t>(size);
}

ReceivedDatagram UdpSocket::receive(uint8_t* buffer, size_t capacity) const {
  ReceivedDatagram r;
  if (fd_ < 0) {
    r.status = ReceiveStatus::Failed;
    return r;
  }
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  // MSG_TRUNC makes the call report the datagram's real length.
  const ssize_t n =
      ::recvfrom(fd_, buffer, capacity, MSG_TRUNC, reinterpret_cast<sockaddr*>(&sa), &len);
  if (n < 0) {
    r.status =
        (errno == EAGAIN || errno == EWOULDBLOCK) ? ReceiveStatus::Nothing : ReceiveStatus::Failed;
    return r;
  }
  r.status = ReceiveStatus::Datagram;
  r.truncated = static_cast<size_t>(n) > capacity;
  r.size = r.truncated ? capacity : static_cast<size_t>(n);
  r.from = {ntohl(sa.sin_addr.s_addr), ntohs(sa.sin_port)};
  return r;
}
