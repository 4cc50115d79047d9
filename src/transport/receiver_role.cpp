#include <algorithm>
#include <chrono>

#include "app/logs.h"
#include "transport/session_transport.h"
#include "transport/thread_name.h"

namespace {

constexpr std::int64_t kKeepalivePeriodNs = 10000000;  // 10 ms

bool log_datagram_count(std::uint64_t count) { return count <= 3 || count % 500 == 0; }

}  // namespace

ErrorCode SessionTransport::start_receiver() {
  discovery_->set_on_found(
      [this](const tovik::DiscoveredService& service) { on_service_found(service); });
  return discovery_->start_listening();
}

void SessionTransport::on_service_found(const tovik::DiscoveredService& service) {
  connection_logf("Discovered transmitter '%s' at %s:%d", service.name.c_str(),
                  service.address.c_str(), service.port);
  SocketAddress to;
  to.ip = parse_ipv4(service.address).value_or(0);
  to.port = service.port;
  // A transmitter that accepted us before knows us: a code we still hold may
  // be stale, and a wrong one would count as a guess.
  const std::vector<std::string>& known = config_.known_transmitters;
  const bool knows_us = std::find(known.begin(), known.end(), service.id) != known.end();
  greet(to, service.name, knows_us ? std::string() : code_to_present_);
}

ErrorCode SessionTransport::connect_to(const std::string& address, std::uint16_t port,
                                       const std::string& name) {
  std::optional<std::uint32_t> ip = parse_ipv4(address);
  if (!ip) return ErrorCode::InvalidArgument;
  if (role_ != SessionRole::Receiver || !running_ || !socket_.is_open()) {
    return ErrorCode::ConnectionLost;
  }
  return greet({*ip, port}, name, code_to_present_) < 1 ? ErrorCode::ConnectionLost : ErrorCode::Ok;
}

ErrorCode SessionTransport::send_hello(const std::string& code) {
  if (role_ != SessionRole::Receiver || !running_ || !socket_.is_open()) {
    return ErrorCode::ConnectionLost;
  }
  SocketAddress to;
  std::string name;
  {
    std::lock_guard<std::mutex> guard(lock_);
    to = peer_;
    name = peer_name_;
  }
  if (to.port == 0) return ErrorCode::ConnectionLost;
  return greet(to, name, code) < 1 ? ErrorCode::ConnectionLost : ErrorCode::Ok;
}

SocketAddress SessionTransport::peer() const {
  std::lock_guard<std::mutex> guard(lock_);
  return peer_;
}

// Steps 2 to 6 of the found-handler; returns what the HELLO's send returned.
int SessionTransport::greet(const SocketAddress& to, const std::string& name,
                            const std::string& code) {
  set_state(tovik::ConnectionState::Connecting, name);
  std::string hello = build_hello(config_.device_name, config_.device_id, code);
  int sent = socket_.send_to(hello.data(), hello.size(), to);
  connection_logf("Sent HELLO to %s:%d (%d bytes)", format_ipv4(to.ip).c_str(), to.port, sent);
  {
    std::lock_guard<std::mutex> guard(lock_);
    peer_ = to;
    peer_name_ = name;
    connected_ = true;
  }
  set_state(tovik::ConnectionState::Connected, name);
  std::lock_guard<std::mutex> guard(threads_mutex_);
  if (!listen_thread_.joinable()) {
    listen_thread_ = std::thread(&SessionTransport::receiver_listen_loop, this);
    keepalive_thread_ = std::thread(&SessionTransport::keepalive_loop, this);
  }
  return sent;
}

void SessionTransport::receiver_listen_loop() {
  name_this_thread("tovik-listen");
  connection_log("Receiver listen loop started");
  std::uint8_t buffer[kSessionDatagramMax];
  while (running_) {
    run_link_timers(timeout_line());
    flush_log_bursts();
    std::size_t received = 0;
    SocketAddress from;
    if (!receive_one(buffer, &received, &from)) continue;
    ++datagram_count_;
    if (log_datagram_count(datagram_count_)) {
      connection_logf("Received UDP frame #%llu, size=%d",
                      static_cast<unsigned long long>(datagram_count_), static_cast<int>(received));
    }
    handle_datagram(buffer, received, from);
  }
  connection_log("Receiver listen loop exited");
}

// One byte every 10 ms on a fixed grid of the clock, so the rate holds
// whatever a send costs; after a stall the grid starts again from now
// instead of sending the missed bytes in a burst.
void SessionTransport::keepalive_loop() {
  name_this_thread("tovik-keepalive");
  connection_log("Keepalive loop started");
  const std::uint8_t keepalive = kKeepaliveByte;
  std::int64_t due = clock_->now_ns();
  while (running_) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (connected_) socket_.send_to(&keepalive, 1, peer_);
    }
    due += kKeepalivePeriodNs;
    const std::int64_t now = clock_->now_ns();
    if (due <= now) due = now + kKeepalivePeriodNs;
    if (!keepalive_wait_.sleep_until(*clock_, due)) break;
  }
  connection_log("Keepalive loop exited");
}
