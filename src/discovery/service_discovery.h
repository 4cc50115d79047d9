#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/error_code.h"
#include "discovery/announcement.h"
#include "discovery/discovered_service.h"
#include "transport/steady_clock.h"
#include "transport/stop_signal.h"
#include "transport/udp_socket.h"

// Where announcements go and what times them. The defaults are the product's;
// tests aim the broadcaster at a loopback listener on port 0.
struct DiscoveryConfig {
  std::uint16_t port = kDiscoveryPort;          // broadcast to, and listened on
  std::uint32_t broadcast_ip = kIpv4Broadcast;  // destination of announcements
  const Clock* clock = nullptr;                 // the system's monotonic clock when null
};

// Announces this transmitter on the LAN (broadcaster) and finds announcing
// transmitters (listener). Both roles share one running flag.
class ServiceDiscovery {
 public:
  using FoundCallback = std::function<void(const tovik::DiscoveredService&)>;

  // Starts Winsock and builds an idle object; the code is always Ok.
  static Created<ServiceDiscovery> create(const DiscoveryConfig& config = {});
  // Stops both roles; the table and the callback go with the object.
  ~ServiceDiscovery();
  ServiceDiscovery(const ServiceDiscovery&) = delete;
  ServiceDiscovery& operator=(const ServiceDiscovery&) = delete;

  // Announces name, port and id every two seconds on a new thread. Ok, or
  // InvalidArgument while an earlier broadcaster has not been stopped.
  ErrorCode start_broadcasting(const std::string& name, std::uint16_t port, const std::string& id);
  // Listens for announcements on a new thread; socket failures only reach the
  // log. Ok, or InvalidArgument while an earlier listener has not been stopped.
  ErrorCode start_listening();
  // Called once per new id, on the listener thread with the table locked: it
  // must not call stop(). Set it before start_listening. The table holds the
  // last 32 ids; an id forgotten since is new again.
  void set_on_found(FoundCallback callback);
  // Ends and joins both roles; the table and the callback are kept. Not to be
  // called from the callback.
  void stop();
  // The port the listener is bound to, 0 until it is bound.
  std::uint16_t listening_port() const { return bound_port_.load(); }

 private:
  explicit ServiceDiscovery(const DiscoveryConfig& config);
  void broadcast_loop();
  void listen_loop();
  bool open_listener();
  void handle_datagram(const std::string& text, const SocketAddress& from);
  void record_service(const tovik::DiscoveredService& service);

  const DiscoveryConfig config_;
  const Clock& clock_;
  std::atomic<bool> running_{false};
  StopSignal broadcaster_wait_;  // the 2 s between announcements end early at stop
  std::mutex listener_mutex_;    // orders the listener's opening against stop's close
  UdpSocket listener_socket_;    // a member, so that stop can end its wait
  std::atomic<std::uint16_t> bound_port_{0};
  std::thread broadcaster_;
  std::thread listener_;
  std::string name_;
  std::uint16_t port_ = 0;
  std::string id_;
  std::mutex table_mutex_;
  std::vector<tovik::DiscoveredService> table_;
  FoundCallback on_found_;
};
