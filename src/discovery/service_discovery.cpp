#include "discovery/service_discovery.h"

#include <algorithm>

#include "app/logs.h"
#include "transport/thread_name.h"

namespace {

constexpr std::int64_t kAnnouncePeriodNs = 2000000000;  // 2 s
constexpr int kSendLogEvery = 30;
constexpr int kPollLogEvery = 60;
// Anyone on the LAN can announce new ids: the table forgets its oldest entry
// beyond this (a forgotten service that announces again counts as new).
constexpr std::size_t kMaxServices = 32;

}  // namespace

ServiceDiscovery::ServiceDiscovery(const DiscoveryConfig& config)
    : config_(config), clock_(config.clock != nullptr ? *config.clock : system_steady_clock()) {}

Created<ServiceDiscovery> ServiceDiscovery::create(const DiscoveryConfig& config) {
  UdpSocket::startup();
  return {ErrorCode::Ok, std::unique_ptr<ServiceDiscovery>(new ServiceDiscovery(config))};
}

ServiceDiscovery::~ServiceDiscovery() { stop(); }

ErrorCode ServiceDiscovery::start_broadcasting(const std::string& name, std::uint16_t port,
                                               const std::string& id) {
  if (broadcaster_.joinable()) return ErrorCode::InvalidArgument;
  name_ = name;
  port_ = port;
  id_ = id;
  running_ = true;
  broadcaster_wait_.arm();
  broadcaster_ = std::thread(&ServiceDiscovery::broadcast_loop, this);
  return ErrorCode::Ok;
}

ErrorCode ServiceDiscovery::start_listening() {
  if (listener_.joinable()) return ErrorCode::InvalidArgument;
  bound_port_ = 0;
  running_ = true;
  listener_ = std::thread(&ServiceDiscovery::listen_loop, this);
  return ErrorCode::Ok;
}

void ServiceDiscovery::set_on_found(FoundCallback callback) { on_found_ = std::move(callback); }

void ServiceDiscovery::stop() {
  {
    std::lock_guard<std::mutex> lock(listener_mutex_);
    running_ = false;
    listener_socket_.close();
  }
  broadcaster_wait_.stop();
  if (broadcaster_.joinable()) broadcaster_.join();
  if (listener_.joinable()) listener_.join();
}

void ServiceDiscovery::broadcast_loop() {
  name_this_thread("tovik-announce");
  UdpSocket socket;
  if (!socket.open()) return;
  socket.set_broadcast(true);
  const SocketAddress destination{config_.broadcast_ip, config_.port};
  const std::string message = build_announcement(name_, port_, id_);
  discovery_logf("broadcast_loop started: msg='%s' port=%d", message.c_str(), config_.port);
  int sent = 0;
  while (running_.load()) {
    // The period counts from the send, read before it.
    const std::int64_t sent_ns = clock_.now_ns();
    const int bytes = socket.send_to(message.data(), message.size(), destination);
    ++sent;
    if (is_logged_occurrence(sent, kSendLogEvery)) {
      discovery_logf("broadcast sent #%d (bytes=%d)", sent, bytes);
    }
    if (!broadcaster_wait_.sleep_until(clock_, sent_ns + kAnnouncePeriodNs)) break;
  }
  socket.close();
}

// Blocks in each receive until a datagram comes or stop closes the socket.
void ServiceDiscovery::listen_loop() {
  name_this_thread("tovik-discover");
  if (!open_listener()) return;
  char buffer[kListenBufferSize];
  int polls = 0;
  while (running_.load()) {
    SocketAddress from;
    const int n = listener_socket_.receive_from(buffer, kMaxAnnouncementSize, &from, -1);
    if (!running_.load()) break;
    ++polls;
    if (n <= 0) {
      if (is_logged_occurrence(polls, kPollLogEvery)) {
        discovery_logf("listen_loop: poll #%d, no data (n=%d)", polls, n);
      }
      continue;
    }
    handle_datagram(std::string(buffer, static_cast<std::size_t>(n)), from);
  }
  listener_socket_.close();
}

bool ServiceDiscovery::open_listener() {
  UdpSocket& socket = listener_socket_;
  // Under the lock, so that a stop that came first is seen here and a later
  // one finds the socket open and closes it.
  std::lock_guard<std::mutex> lock(listener_mutex_);
  if (!running_.load() || !socket.open()) return false;
  socket.set_reuse_address(true);
  if (!socket.bind(kIpv4Any, config_.port)) {
    discovery_logf("listen_loop: bind FAILED on port %d", config_.port);
    socket.close();
    return false;
  }
  bound_port_ = socket.local_port();
  discovery_logf("listen_loop: bound to port %d, waiting for broadcasts...", bound_port_.load());
  return true;
}

void ServiceDiscovery::handle_datagram(const std::string& text, const SocketAddress& from) {
  const std::string address = format_ipv4(from.ip);
  discovery_logf("listen_loop: received %d bytes from %s: '%s'", static_cast<int>(text.size()),
                 address.c_str(), text.c_str());
  Announcement announcement;
  switch (parse_announcement(text.data(), text.size(), &announcement)) {
    case AnnouncementParse::NotTovik:
      discovery_logf("listen_loop: not a TOVIK packet, ignoring");
      return;
    case AnnouncementParse::Malformed:
      return;
    case AnnouncementParse::Ok:
      break;
  }
  const tovik::DiscoveredService service{announcement.name, address, announcement.port,
                                         announcement.id};
  discovery_logf("listen_loop: FOUND service '%s' at %s:%d (id=%s)", service.name.c_str(),
                 service.address.c_str(), service.port, service.id.c_str());
  record_service(service);
}

// The lock stays held through the callback so that the table and the calls
// to on_found follow the same order.
void ServiceDiscovery::record_service(const tovik::DiscoveredService& service) {
  std::lock_guard<std::mutex> lock(table_mutex_);
  const bool known = std::any_of(table_.begin(), table_.end(),
                                 [&](const auto& entry) { return entry.id == service.id; });
  if (known) {
    discovery_logf("listen_loop: duplicate service, skipping");
    return;
  }
  if (table_.size() >= kMaxServices) table_.erase(table_.begin());
  table_.push_back(service);
  discovery_logf("listen_loop: NEW service \xE2\x80\x94 calling on_found callback");
  if (on_found_) {
    try {
      on_found_(service);
    } catch (...) {
      debug_log("discovery: on_found: the callback threw; ignored");
    }
  }
  discovery_logf("listen_loop: callback returned");
}
