#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "discovery/discovered_service.h"
#include "discovery/service_discovery.h"

// Hears the transmitters' announcements on a listener of its own, so that
// the receiver can follow a transmitter to a new address (a laptop that
// moved from Wi-Fi to a cable). The session's listener reports each
// transmitter once and never again; this one starts afresh on demand.
class TransmitterFinder {
 public:
  explicit TransmitterFinder(std::uint16_t discovery_port);
  ~TransmitterFinder();
  TransmitterFinder(const TransmitterFinder&) = delete;
  TransmitterFinder& operator=(const TransmitterFinder&) = delete;

  // Forgets everything heard and listens again (waits up to the listener's
  // receive time-out for the old listener to end).
  void restart();
  void stop();
  // The last announcement heard from this address, or with this id.
  std::optional<tovik::DiscoveredService> at_address(const std::string& address) const;
  std::optional<tovik::DiscoveredService> with_id(const std::string& id) const;

 private:
  void heard(const tovik::DiscoveredService& service);
  std::optional<tovik::DiscoveredService> last_heard(
      const std::function<bool(const tovik::DiscoveredService&)>& matches) const;

  const std::uint16_t port_;
  std::unique_ptr<ServiceDiscovery> discovery_;
  mutable std::mutex mutex_;
  std::vector<tovik::DiscoveredService> heard_;
};
