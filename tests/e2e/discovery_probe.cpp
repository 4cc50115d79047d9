// Runs one discovery role for a few seconds with the product's port and
// broadcast address and prints what it saw, for the network lab tests:
//   discovery_probe listen <seconds>
//   discovery_probe broadcast <seconds> <name> <port> <id>
// It runs only inside a lab host (TOVIK_NETLAB_NS set, and on Linux no
// address outside loopback and 10.77.0.0/16), never on a real network.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "discovery/service_discovery.h"
#include "lab_guard.h"

int main(int argc, char** argv) {
  const std::string mode = argc > 2 ? argv[1] : "";
  if (!inside_lab_host() ||
      !((mode == "listen" && argc == 3) || (mode == "broadcast" && argc == 6))) {
    std::fprintf(stderr,
                 "usage (inside a lab host): discovery_probe listen <seconds>\n"
                 "       discovery_probe broadcast <seconds> <name> <port> <id>\n");
    return 2;
  }
  auto discovery = std::move(ServiceDiscovery::create().object);
  int found = 0;
  discovery->set_on_found([&found](const tovik::DiscoveredService& s) {
    ++found;
    std::printf("FOUND %s|%s|%d|%s\n", s.name.c_str(), s.address.c_str(), s.port, s.id.c_str());
    std::fflush(stdout);
  });
  if (mode == "listen") discovery->start_listening();
  if (mode == "broadcast")
    discovery->start_broadcasting(argv[3], static_cast<std::uint16_t>(std::atoi(argv[4])), argv[5]);
  std::this_thread::sleep_for(std::chrono::seconds(std::atoi(argv[2])));
  const auto stop_start = std::chrono::steady_clock::now();
  discovery->stop();
  std::printf("STOPPED %s in %lld ms, found %d\n", mode.c_str(),
              static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now() - stop_start)
                                         .count()),
              found);
  return 0;
}
