#include "transmitter_finder.h"

#include <algorithm>

TransmitterFinder::TransmitterFinder(std::uint16_t discovery_port) : port_(discovery_port) {}

TransmitterFinder::~TransmitterFinder() { stop(); }

void TransmitterFinder::restart() {
  stop();
  {
    std::lock_guard<std::mutex> guard(mutex_);
    heard_.clear();
  }
  DiscoveryConfig config;
  config.port = port_;
  discovery_ = std::move(ServiceDiscovery::create(config).object);
  discovery_->set_on_found([this](const tovik::DiscoveredService& service) { heard(service); });
  discovery_->start_listening();
}

void TransmitterFinder::stop() {
  if (discovery_) discovery_->stop();
  discovery_.reset();
}

void TransmitterFinder::heard(const tovik::DiscoveredService& service) {
  constexpr std::size_t kMostHeard = 32;  // strangers may announce without end
  std::lock_guard<std::mutex> guard(mutex_);
  if (heard_.size() >= kMostHeard) heard_.erase(heard_.begin());
  heard_.push_back(service);
}

std::optional<tovik::DiscoveredService> TransmitterFinder::last_heard(
    const std::function<bool(const tovik::DiscoveredService&)>& matches) const {
  std::lock_guard<std::mutex> guard(mutex_);
  auto it = std::find_if(heard_.rbegin(), heard_.rend(), matches);
  if (it == heard_.rend()) return std::nullopt;
  return *it;
}

std::optional<tovik::DiscoveredService> TransmitterFinder::at_address(
    const std::string& address) const {
  return last_heard([&](const tovik::DiscoveredService& s) { return s.address == address; });
}

std::optional<tovik::DiscoveredService> TransmitterFinder::with_id(const std::string& id) const {
  return last_heard([&](const tovik::DiscoveredService& s) { return s.id == id; });
}
