#include "discovery_test_support.h"

#include <cstring>

namespace test {

std::vector<std::string> discovery_log_lines(const AppDataScope& scope) {
  return log_lines(scope, "discovery.log");
}

int count_lines(const std::vector<std::string>& lines, const std::string& line) {
  int count = 0;
  for (const auto& each : lines) count += each == line ? 1 : 0;
  return count;
}

int count_prefixed(const std::vector<std::string>& lines, const std::string& prefix) {
  return static_cast<int>(lines_with_prefix(lines, prefix).size());
}

std::vector<std::string> lines_with_prefix(const std::vector<std::string>& lines,
                                           const std::string& prefix) {
  std::vector<std::string> found;
  for (const auto& each : lines) {
    if (each.compare(0, prefix.size(), prefix) == 0) found.push_back(each);
  }
  return found;
}

LoopbackPeer::LoopbackPeer(int timeout_ms) {
  UdpSocket::startup();
  socket_.open();
  socket_.set_receive_timeout_ms(timeout_ms);
  socket_.bind(kIpv4Loopback, 0);
  port_ = socket_.local_port();
}

void LoopbackPeer::send(const std::string& text, std::uint16_t port) {
  socket_.send_to(text.data(), text.size(), SocketAddress{kIpv4Loopback, port});
}

bool LoopbackPeer::receive(std::string* text, SocketAddress* from) {
  char buffer[2048];
  const int n = socket_.receive_from(buffer, sizeof buffer, from);
  if (n <= 0) return false;
  text->assign(buffer, static_cast<std::size_t>(n));
  return true;
}

}  // namespace test
