#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// An IPv4 address and port, both in host byte order.
struct SocketAddress {
  std::uint32_t ip = 0;
  std::uint16_t port = 0;
};

// Dotted decimal text of an address in host byte order ("10.77.0.1").
std::string format_ipv4(std::uint32_t ip);
// Parses dotted decimal; nothing for anything else.
std::optional<std::uint32_t> parse_ipv4(const std::string& text);

constexpr std::uint32_t kIpv4Any = 0;
constexpr std::uint32_t kIpv4Broadcast = 0xFFFFFFFFu;
constexpr std::uint32_t kIpv4Loopback = 0x7F000001u;

// A thin IPv4 UDP socket over Winsock 2 or POSIX sockets.
class UdpSocket {
 public:
  UdpSocket();
  ~UdpSocket();
  UdpSocket(const UdpSocket&) = delete;
  UdpSocket& operator=(const UdpSocket&) = delete;

  // Winsock start-up (version 2.2), once per call; nothing on POSIX.
  static void startup();

  // Opens an AF_INET/SOCK_DGRAM/IPPROTO_UDP socket; false on failure.
  bool open();
  bool is_open() const;
  // Option setters; failures are not reported.
  void set_reuse_address(bool on);
  // Before bind: no other socket may share the port, whatever it asks for
  // (SO_EXCLUSIVEADDRUSE on Windows; on POSIX a socket without
  // SO_REUSEADDR is exclusive already, so nothing is set).
  void set_exclusive_address();
  void set_broadcast(bool on);
  void set_receive_timeout_ms(int milliseconds);
  // Binds to ip:port (host order); false on failure.
  bool bind(std::uint32_t ip, std::uint16_t port);
  // The bound local port, 0 when unknown.
  std::uint16_t local_port() const;
  // Sends one datagram; the byte count, or -1.
  int send_to(const void* data, std::size_t size, const SocketAddress& to);
  // Receives one whole datagram into buffer, waiting at most the receive
  // time-out (0: until a datagram comes or the socket closes). Returns its
  // size (> 0), or 0 or -1 for no data: time-out, error, an empty datagram,
  // or a datagram longer than capacity (never delivered cut).
  int receive_from(void* buffer, std::size_t capacity, SocketAddress* from);
  // The same, waiting at most wait_ms milliseconds (-1: until a datagram
  // comes or the socket closes) whatever the receive time-out.
  int receive_from(void* buffer, std::size_t capacity, SocketAddress* from, int wait_ms);
  // Closes the socket. Safe while another thread waits in receive_from: that
  // call returns no data at once.
  void close();

 private:
  struct Impl;
  Impl* impl_;
};
