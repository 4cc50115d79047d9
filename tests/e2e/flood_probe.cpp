// A hostile host's flood:  flood_probe <ip> <port> <count>
// Sends count datagrams as fast as one socket can: HELLOs without a code and
// with wrong codes under fresh ids, CTRLs that pause and retune, PONGs,
// PINGs, keepalives and junk up to the receive buffer's size. Then prints
// "FLOOD <first_ms> <last_ms> <sent>" on the monotonic clock, which the lab's
// other processes share. Runs only inside a lab host.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "lab_guard.h"
#include "transport/udp_socket.h"

namespace {

long long now_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::string datagram(int i) {
  const std::string n = std::to_string(i);
  const std::string kinds[] = {"TOVIK_HELLO|Mallory|rx-flood-" + n,
                               "TOVIK_HELLO|Mallory|rx-flood-" + n + "|" + std::to_string(100000 + i),
                               std::string("\xC0\x03\x00\x01\x01", 5),
                               std::string("\xC0\x01\x00\x04\x00\x00\x17\x70", 8),
                               "TOVIK_PONG|" + n,
                               "TOVIK_PING|" + n,
                               "K",
                               std::string(2048, static_cast<char>(i))};
  return kinds[i % 8];
}

}  // namespace

int main(int argc, char** argv) {
  if (!inside_lab_host() || argc != 4) {
    std::fprintf(stderr, "usage (inside a lab host): flood_probe <ip> <port> <count>\n");
    return 2;
  }
  UdpSocket socket;
  const SocketAddress to{parse_ipv4(argv[1]).value_or(0),
                         static_cast<std::uint16_t>(std::atoi(argv[2]))};
  if (!socket.open() || to.ip == 0) return 1;
  const long long first = now_ms();
  int sent = 0;
  for (int i = 0; i < std::atoi(argv[3]); ++i) {
    const std::string bytes = datagram(i);
    sent += socket.send_to(bytes.data(), bytes.size(), to) > 0 ? 1 : 0;
  }
  std::printf("FLOOD %lld %lld %d\n", first, now_ms(), sent);
  return 0;
}
