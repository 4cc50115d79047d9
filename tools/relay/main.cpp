// tovik-relay: a UDP impairment relay for tests, benchmarks and people, since
// the kernel here has no netem.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "relay_options.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void on_signal(int) { g_stop = 1; }

void print_counts(const char* direction, const RelayCounts& c) {
  std::printf(
      "%s received=%llu forwarded=%llu dropped=%llu duplicated=%llu reordered=%llu\n", direction,
      static_cast<unsigned long long>(c.received), static_cast<unsigned long long>(c.forwarded),
      static_cast<unsigned long long>(c.dropped), static_cast<unsigned long long>(c.duplicated),
      static_cast<unsigned long long>(c.reordered));
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(kRelayUsage, stdout);
    return 0;
  }
  std::string error;
  auto config = parse_relay_options(args, &error);
  if (!config) {
    std::fprintf(stderr, "tovik-relay: %s\n%s", error.c_str(), kRelayUsage);
    return 2;
  }
  ImpairmentRelay relay(*config);
  if (relay.start() != ErrorCode::Ok) {
    std::fprintf(stderr, "tovik-relay: cannot bind the listening socket\n");
    return 1;
  }
  std::signal(SIGINT, on_signal);
  std::signal(SIGTERM, on_signal);
  std::printf("RELAY %d\n", relay.port());
  std::fflush(stdout);
  while (g_stop == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  relay.stop();
  print_counts("to-server", relay.to_server_counts());
  print_counts("to-client", relay.to_client_counts());
  return 0;
}
