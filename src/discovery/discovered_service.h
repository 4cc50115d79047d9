#pragma once

#include <cstdint>
#include <string>

namespace tovik {

// One service heard by the discovery listener.
struct DiscoveredService {
  std::string name;
  std::string address;  // the sender's IPv4 address, dotted decimal
  std::uint16_t port = 0;
  std::string id;
};

}  // namespace tovik
