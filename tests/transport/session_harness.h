#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/test_support.h"
#include "transport/session_transport.h"
#include "transport/udp_socket.h"

namespace test {

// A UDP endpoint on 127.0.0.1, port chosen by the system: plays a receiver or
// a transmitter, or absorbs announcements.
class LoopbackPeer {
 public:
  LoopbackPeer();
  std::uint16_t port() const { return socket_.local_port(); }
  void send(const std::string& bytes, std::uint16_t to_port);
  // Next datagram within the bound, skipping those the filter rejects.
  std::optional<std::string> receive(
      const std::function<bool(const std::string&)>& accept = nullptr,
      std::chrono::milliseconds bound = std::chrono::seconds(10));

 private:
  UdpSocket socket_;
};

// Records every state report.
class StateLog {
 public:
  SessionTransport::StateCallback callback();
  bool has(tovik::ConnectionState state, const std::string& detail = "") const;
  int count(tovik::ConnectionState state) const;
  // All reports in order, as "Searching,Connected:Phone".
  std::string text() const;

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<tovik::ConnectionState, std::string>> reports_;
};

// A transmitter config for loopback: any free audio port, announcements to
// the absorber on 127.0.0.1 (never a broadcast address).
TransportConfig loopback_transmitter_config(const LoopbackPeer& announcement_sink,
                                            const Clock* clock = nullptr);

// Whether a log in the Tovik folder has this line.
bool log_has_line(const AppDataScope& app_data, const std::string& file, const std::string& line);

}  // namespace test
