#include <winsock2.h>
#include <ws2tcpip.h>
// winsock2.h first: mstcpip.h needs its types.
#include <mstcpip.h>

#include <atomic>

#include "transport/socket_users.h"
#include "transport/udp_socket.h"

struct UdpSocket::Impl {
  std::atomic<SOCKET> handle{INVALID_SOCKET};
  std::atomic<int> timeout_ms{0};
  // Set by the system when a datagram arrives (WSAEventSelect), and by
  // close() to end a wait: a receive blocks on both and never polls.
  HANDLE readable = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE closing = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SocketUsers users;
};

#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace {

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

// Reads one datagram if one is waiting: its size, -1 for an error or an
// oversize datagram (WSAEMSGSIZE drops it), -2 when none is waiting.
int read_waiting(SOCKET handle, void* buffer, std::size_t capacity, sockaddr_in* address) {
  int length = sizeof *address;
  const int received = ::recvfrom(handle, static_cast<char*>(buffer), static_cast<int>(capacity), 0,
                                  reinterpret_cast<sockaddr*>(address), &length);
  if (received != SOCKET_ERROR) return received;
  return ::WSAGetLastError() == WSAEWOULDBLOCK ? -2 : -1;
}

}  // namespace

UdpSocket::UdpSocket() : impl_(new Impl) {}

UdpSocket::~UdpSocket() {
  close();
  CloseHandle(impl_->readable);
  CloseHandle(impl_->closing);
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
  // Also makes the socket non-blocking: receives wait on the events instead.
  ::WSAEventSelect(handle, impl_->readable, FD_READ);
  ResetEvent(impl_->closing);
  impl_->handle.store(handle);
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

// The receive waits on events, so the time-out is kept here, not as SO_RCVTIMEO.
void UdpSocket::set_receive_timeout_ms(int milliseconds) { impl_->timeout_ms.store(milliseconds); }

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
  const int timeout_ms = impl_->timeout_ms.load();
  return receive_from(buffer, capacity, from, timeout_ms > 0 ? timeout_ms : -1);
}

int UdpSocket::receive_from(void* buffer, std::size_t capacity, SocketAddress* from, int wait_ms) {
  if (!impl_->users.enter()) return -1;
  const SOCKET handle = impl_->handle.load();
  const HANDLE events[] = {impl_->closing, impl_->readable};
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(wait_ms < 0 ? 0 : wait_ms);
  sockaddr_in address{};
  int received = -1;
  for (;;) {
    // Reset before reading: a datagram that comes after a failed read sets
    // the event again, so none is missed and none is waited for twice.
    ResetEvent(impl_->readable);
    received = read_waiting(handle, buffer, capacity, &address);
    if (received != -2) break;
    DWORD timeout = INFINITE;
    if (wait_ms >= 0) {
      const ULONGLONG now = GetTickCount64();
      timeout = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    }
    received = -1;
    if (WaitForMultipleObjects(2, events, FALSE, timeout) != WAIT_OBJECT_0 + 1) break;
  }
  impl_->users.leave();
  if (received >= 0 && from != nullptr) {
    from->ip = ntohl(address.sin_addr.s_addr);
    from->port = ntohs(address.sin_port);
  }
  return received;
}

void UdpSocket::close() {
  if (!impl_->users.begin_close()) return;
  SetEvent(impl_->closing);
  impl_->users.wait_idle();
  ::closesocket(impl_->handle.exchange(INVALID_SOCKET));
}
