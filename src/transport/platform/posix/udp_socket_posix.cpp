#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

#include "transport/socket_users.h"
#include "transport/udp_socket.h"

struct UdpSocket::Impl {
  std::atomic<int> fd{-1};
  std::atomic<int> timeout_ms{0};
  SocketUsers users;
};

namespace {

sockaddr_in to_sockaddr(std::uint32_t ip, std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(ip);
  address.sin_port = htons(port);
  return address;
}

void set_int_option(int fd, int name, bool on) {
  const int value = on ? 1 : 0;
  ::setsockopt(fd, SOL_SOCKET, name, &value, sizeof value);
}

}  // namespace

UdpSocket::UdpSocket() : impl_(new Impl) {}

UdpSocket::~UdpSocket() {
  close();
  delete impl_;
}

void UdpSocket::startup() {}

bool UdpSocket::open() {
  close();
  const int fd = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (fd < 0) return false;
  impl_->fd.store(fd);
  impl_->users.open();
  return true;
}

bool UdpSocket::is_open() const { return impl_->fd.load() >= 0; }

void UdpSocket::set_reuse_address(bool on) {
  if (!impl_->users.enter()) return;
  set_int_option(impl_->fd.load(), SO_REUSEADDR, on);
  impl_->users.leave();
}

void UdpSocket::set_exclusive_address() {}

void UdpSocket::set_broadcast(bool on) {
  if (!impl_->users.enter()) return;
  set_int_option(impl_->fd.load(), SO_BROADCAST, on);
  impl_->users.leave();
}

// The receive waits in poll(), which close() ends through shutdown(); the
// time-out is kept here rather than as SO_RCVTIMEO.
void UdpSocket::set_receive_timeout_ms(int milliseconds) { impl_->timeout_ms.store(milliseconds); }

bool UdpSocket::bind(std::uint32_t ip, std::uint16_t port) {
  if (!impl_->users.enter()) return false;
  const sockaddr_in address = to_sockaddr(ip, port);
  const int result =
      ::bind(impl_->fd.load(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  impl_->users.leave();
  return result == 0;
}

std::uint16_t UdpSocket::local_port() const {
  if (!impl_->users.enter()) return 0;
  sockaddr_in address{};
  socklen_t length = sizeof address;
  const int result =
      ::getsockname(impl_->fd.load(), reinterpret_cast<sockaddr*>(&address), &length);
  impl_->users.leave();
  return result == 0 ? ntohs(address.sin_port) : 0;
}

int UdpSocket::send_to(const void* data, std::size_t size, const SocketAddress& to) {
  if (!impl_->users.enter()) return -1;
  const sockaddr_in address = to_sockaddr(to.ip, to.port);
  const ssize_t sent = ::sendto(impl_->fd.load(), data, size, 0,
                                reinterpret_cast<const sockaddr*>(&address), sizeof address);
  impl_->users.leave();
  return sent < 0 ? -1 : static_cast<int>(sent);
}

int UdpSocket::receive_from(void* buffer, std::size_t capacity, SocketAddress* from) {
  const int timeout_ms = impl_->timeout_ms.load();
  return receive_from(buffer, capacity, from, timeout_ms > 0 ? timeout_ms : -1);
}

int UdpSocket::receive_from(void* buffer, std::size_t capacity, SocketAddress* from, int wait_ms) {
  if (!impl_->users.enter()) return -1;
  const int fd = impl_->fd.load();
  pollfd readable{fd, POLLIN, 0};
  // A signal ends the wait early: that is no data, like a time-out.
  ssize_t received = -1;
  sockaddr_in address{};
  if (::poll(&readable, 1, wait_ms) > 0) {
    socklen_t length = sizeof address;
    // MSG_TRUNC makes the call return the datagram's real length, so a
    // datagram that did not fit is seen and refused, as Winsock does with
    // WSAEMSGSIZE.
    received = ::recvfrom(fd, buffer, capacity, MSG_TRUNC | MSG_DONTWAIT,
                          reinterpret_cast<sockaddr*>(&address), &length);
  }
  impl_->users.leave();
  if (received < 0 || static_cast<std::size_t>(received) > capacity) return -1;
  if (from != nullptr) {
    from->ip = ntohl(address.sin_addr.s_addr);
    from->port = ntohs(address.sin_port);
  }
  return static_cast<int>(received);
}

void UdpSocket::close() {
  if (!impl_->users.begin_close()) return;
  // Shutting down wakes a receive that waits on the socket at once, and makes
  // a later one return at once, so the wait below is short; only then is the
  // number released.
  ::shutdown(impl_->fd.load(), SHUT_RDWR);
  impl_->users.wait_idle();
  ::close(impl_->fd.exchange(-1));
}
