#include "session_harness.h"

#include <algorithm>

namespace test {

LoopbackPeer::LoopbackPeer() {
  UdpSocket::startup();
  socket_.open();
  socket_.bind(kIpv4Loopback, 0);
  socket_.set_receive_timeout_ms(50);
}

void LoopbackPeer::send(const std::string& bytes, std::uint16_t to_port) {
  socket_.send_to(bytes.data(), bytes.size(), SocketAddress{kIpv4Loopback, to_port});
}

std::optional<std::string> LoopbackPeer::receive(
    const std::function<bool(const std::string&)>& accept, std::chrono::milliseconds bound) {
  auto deadline = std::chrono::steady_clock::now() + bound;
  char buffer[4096];
  while (std::chrono::steady_clock::now() < deadline) {
    int n = socket_.receive_from(buffer, sizeof buffer, nullptr);
    if (n <= 0) continue;
    const std::string datagram(buffer, static_cast<std::size_t>(n));
    if (!accept || accept(datagram)) return datagram;
  }
  return std::nullopt;
}

SessionTransport::StateCallback StateLog::callback() {
  return [this](tovik::ConnectionState state, const std::string& detail) {
    std::lock_guard<std::mutex> guard(mutex_);
    reports_.emplace_back(state, detail);
  };
}

bool StateLog::has(tovik::ConnectionState state, const std::string& detail) const {
  std::lock_guard<std::mutex> guard(mutex_);
  return std::find(reports_.begin(), reports_.end(), std::make_pair(state, detail)) !=
         reports_.end();
}

int StateLog::count(tovik::ConnectionState state) const {
  std::lock_guard<std::mutex> guard(mutex_);
  return static_cast<int>(std::count_if(reports_.begin(), reports_.end(),
                                        [state](const auto& r) { return r.first == state; }));
}

std::string StateLog::text() const {
  static const char* const kNames[] = {"Disconnected",    "Searching", "Connecting",
                                       "ApprovalPending", "Connected", "Reconnecting"};
  std::lock_guard<std::mutex> guard(mutex_);
  std::string text;
  for (const auto& [state, detail] : reports_) {
    text += (text.empty() ? "" : ",") + std::string(kNames[static_cast<int>(state)]);
    if (!detail.empty()) text += ":" + detail;
  }
  return text;
}

TransportConfig loopback_transmitter_config(const LoopbackPeer& announcement_sink,
                                            const Clock* clock) {
  TransportConfig config;
  config.device_name = "Test PC";
  config.device_id = "tovik-00112233445566ff";
  config.audio_port = 0;  // any free port
  config.discovery = DiscoveryConfig{announcement_sink.port(), kIpv4Loopback, clock};
  config.clock = clock;
  return config;
}

bool log_has_line(const AppDataScope& app_data, const std::string& file, const std::string& line) {
  const auto lines = log_lines(app_data, file);
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace test
