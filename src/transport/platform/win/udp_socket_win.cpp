#include <winsock2.h>
#include <ws2tcpip.h>
// winsock2.h first: mstcpip.h needs its types.
#include <mstcpip.h>

#include <algorithm>
#include <atomic>

#include "transport/socket_users.h"
#include "transport/udp_socket.h"

struct UdpSocket::Impl {
  std::atomic<SOCKET> handle{INVALID_SOCKET};
  std::atomic<bool> closing{false};
  std::atomic<int> timeout_ms{0};
  SocketUsers users;
};

#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace {

// A receive waits in slices of this length so that close() is seen quickly
// whether or not the system ends a blocked recvfrom when the socket closes.
constexpr int kWaitSliceMs = 50;

sockaddr_in to_sockaddr(std::uint32_t ip, std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(ip);
  address.sin_port = htons(port);
  return address;
}

void set_int_option(SOCKET handle, int name, bool on) {
  const int value = on ? 1 : 0;
  ::setsockopt(handle, SOL_SOCKET, name, reinterpret_cast<const char*>(&value), sizeof value);
}

// Without this, an ICMP "port unreachable" caused by an earlier send makes the
// next recvfrom fail at once (WSAECONNRESET), which POSIX sockets never do.
void ignore_connection_resets(SOCKET handle) {
  BOOL report = FALSE;
  DWORD returned = 0;
  ::WSAIoctl(handle, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr,
             nullptr);
}

// True when a datagram waits, false on time-out, error or close().
bool wait_readable(SOCKET handle, const std::atomic<bool>& closing, int timeout_ms) {
  int waited_ms = 0;
  while (!closing.load()) {
    int slice_ms = kWaitSliceMs;
    if (timeout_ms > 0) slice_ms = std::min(slice_ms, timeout_ms - waited_ms);
    if (slice_ms <= 0) return false;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(handle, &readable);
    timeval slice{0, slice_ms * 1000};
    const int ready = ::select(0, &readable, nullptr, nullptr, &slice);
    if (ready != 0) return ready > 0;
    waited_ms += slice_ms;
  }
  return false;
}

}  // namespace

UdpSocket::UdpSocket() : impl_(new Impl) {}

UdpSocket::~UdpSocket() {
  close();
  delete impl_;
}

void UdpSocket::startup() {
  WSADATA data;
  ::WSAStartup(MAKEWORD(2, 2), &data);
}

bool UdpSocket::open() {
  close();
  const SOCKET handle = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (handle == INVALID_SOCKET) return false;
  ignore_connection_resets(handle);
  impl_->handle.store(handle);
  impl_->closing.store(false);
  impl_->users.open();
  return true;
}

bool UdpSocket::is_open() const { return impl_->handle.load() != INVALID_SOCKET; }

void UdpSocket::set_reuse_address(bool on) {
  if (!impl_->users.enter()) return;
  set_int_option(impl_->handle.load(), SO_REUSEADDR, on);
  impl_->users.leave();
}

void UdpSocket::set_exclusive_address() {
  if (!impl_->users.enter()) return;
  set_int_option(impl_->handle.load(), SO_EXCLUSIVEADDRUSE, true);
  impl_->users.leave();
}

void UdpSocket::set_broadcast(bool on) {
  if (!impl_->users.enter()) return;
  set_int_option(impl_->handle.load(), SO_BROADCAST, on);
  impl_->users.leave();
}

void UdpSocket::set_receive_timeout_ms(int milliseconds) {
  if (!impl_->users.enter()) return;
  const DWORD value = static_cast<DWORD>(milliseconds);
  ::setsockopt(impl_->handle.load(), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&value),
               sizeof value);
  impl_->timeout_ms.store(milliseconds);
  impl_->users.leave();
}

bool UdpSocket::bind(std::uint32_t ip, std::uint16_t port) {
  if (!impl_->users.enter()) return false;
  const sockaddr_in address = to_sockaddr(ip, port);
  const int result =
      ::bind(impl_->handle.load(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  impl_->users.leave();
  return result == 0;
}

std::uint16_t UdpSocket::local_port() const {
  if (!impl_->users.enter()) return 0;
  sockaddr_in address{};
  int length = sizeof address;
  const int result =
      ::getsockname(impl_->handle.load(), reinterpret_cast<sockaddr*>(&address), &length);
  impl_->users.leave();
  return result == 0 ? ntohs(address.sin_port) : 0;
}

int UdpSocket::send_to(const void* data, std::size_t size, const SocketAddress& to) {
  if (!impl_->users.enter()) return -1;
  const sockaddr_in address = to_sockaddr(to.ip, to.port);
  const int sent =
      ::sendto(impl_->handle.load(), static_cast<const char*>(data), static_cast<int>(size), 0,
               reinterpret_cast<const sockaddr*>(&address), sizeof address);
  impl_->users.leave();
  return sent == SOCKET_ERROR ? -1 : sent;
}

int UdpSocket::receive_from(void* buffer, std::size_t capacity, SocketAddress* from) {
  if (!impl_->users.enter()) return -1;
  const SOCKET handle = impl_->handle.load();
  int received = -1;
  sockaddr_in address{};
  if (wait_readable(handle, impl_->closing, impl_->timeout_ms.load())) {
    int length = sizeof address;
    // A datagram longer than capacity fails with WSAEMSGSIZE and is dropped.
    received = ::recvfrom(handle, static_cast<char*>(buffer), static_cast<int>(capacity), 0,
                          reinterpret_cast<sockaddr*>(&address), &length);
  }
  impl_->users.leave();
  if (received == SOCKET_ERROR) return -1;
  if (received >= 0 && from != nullptr) {
    from->ip = ntohl(address.sin_addr.s_addr);
    from->port = ntohs(address.sin_port);
  }
  return received;
}

void UdpSocket::close() {
  if (!impl_->users.begin_close()) return;
  impl_->closing.store(true);
  impl_->users.wait_idle();
  ::closesocket(impl_->handle.exchange(INVALID_SOCKET));
}
