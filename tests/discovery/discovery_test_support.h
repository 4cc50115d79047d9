#pragma once

#include <string>
#include <vector>

#include "support/test_support.h"
#include "transport/udp_socket.h"

namespace test {

// The lines of discovery.log in the scope's Tovik folder.
std::vector<std::string> discovery_log_lines(const AppDataScope& scope);
// How many lines equal line exactly / begin with prefix.
int count_lines(const std::vector<std::string>& lines, const std::string& line);
int count_prefixed(const std::vector<std::string>& lines, const std::string& prefix);
// The lines that begin with prefix, in order.
std::vector<std::string> lines_with_prefix(const std::vector<std::string>& lines,
                                           const std::string& prefix);

// A UDP socket bound to 127.0.0.1 on a port the system picks.
class LoopbackPeer {
 public:
  explicit LoopbackPeer(int timeout_ms = 5000);
  SocketAddress address() const { return SocketAddress{kIpv4Loopback, port_}; }
  std::uint16_t port() const { return port_; }
  // Sends text to 127.0.0.1:port.
  void send(const std::string& text, std::uint16_t port);
  // The next datagram's text, or nothing after the time-out.
  bool receive(std::string* text, SocketAddress* from = nullptr);

 private:
  UdpSocket socket_;
  std::uint16_t port_ = 0;
};

}  // namespace test
