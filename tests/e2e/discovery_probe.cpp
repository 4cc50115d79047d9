// Runs one discovery role for a few seconds with the product's port and
// broadcast address and prints what it saw, for the network lab tests:
//   discovery_probe listen <seconds>
//   discovery_probe sniff <seconds>      (every datagram on the discovery port)
//   discovery_probe broadcast <seconds> <name> <port> <id>
// It broadcasts only inside a lab host (TOVIK_NETLAB_NS set, and on Linux no
// address outside loopback and 10.77.0.0/16), never onto a real network.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "discovery/service_discovery.h"
#include "lab_guard.h"

namespace {

using Clock = std::chrono::steady_clock;

long long ms_since(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

int listen(int seconds) {
  auto discovery = std::move(ServiceDiscovery::create().object);
  int found = 0;
  discovery->set_on_found([&found](const tovik::DiscoveredService& s) {
    ++found;
    std::printf("FOUND %s|%s|%d|%s\n", s.name.c_str(), s.address.c_str(), s.port, s.id.c_str());
    std::fflush(stdout);
  });
  discovery->start_listening();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const auto stop_start = Clock::now();
  discovery->stop();
  std::printf("STOPPED listener in %lld ms, found %d\n", ms_since(stop_start), found);
  return 0;
}

int sniff(int seconds) {
  UdpSocket::startup();
  UdpSocket socket;
  socket.open();
  socket.set_reuse_address(true);
  if (!socket.bind(kIpv4Any, kDiscoveryPort)) return 1;
  socket.set_receive_timeout_ms(500);
  const auto start = Clock::now();
  char buffer[kListenBufferSize];
  while (ms_since(start) < seconds * 1000LL) {
    SocketAddress from;
    const int n = socket.receive_from(buffer, kMaxAnnouncementSize, &from);
    if (n <= 0) continue;
    std::printf("DATAGRAM %lld %s %s\n", ms_since(start), format_ipv4(from.ip).c_str(),
                std::string(buffer, static_cast<std::size_t>(n)).c_str());
    std::fflush(stdout);
  }
  return 0;
}

int broadcast(int seconds, const char* name, int port, const char* id) {
  if (!inside_lab_host()) {
    std::fprintf(stderr, "refusing to broadcast outside a network lab host\n");
    return 2;
  }
  auto discovery = std::move(ServiceDiscovery::create().object);
  discovery->start_broadcasting(name, static_cast<std::uint16_t>(port), id);
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const auto stop_start = Clock::now();
  discovery->stop();
  std::printf("STOPPED broadcaster in %lld ms\n", ms_since(stop_start));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 2 ? argv[1] : "";
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 0;
  if (mode == "listen" && argc == 3) return listen(seconds);
  if (mode == "sniff" && argc == 3) return sniff(seconds);
  if (mode == "broadcast" && argc == 6)
    return broadcast(seconds, argv[3], std::atoi(argv[4]), argv[5]);
  std::fprintf(stderr,
               "usage: discovery_probe listen|sniff <seconds>\n"
               "       discovery_probe broadcast <seconds> <name> <port> <id>\n");
  return 2;
}
