// tovik-relay: a UDP impairment relay for tests, benchmarks and people, since
// the kernel here has no netem. Both directions get the same impairment.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>

#include "relay.h"

namespace {

const char kUsage[] =
    "usage: tovik-relay --server IP:PORT [--drop PCT] [--delay MS] [--jitter MS] [--reorder PCT]\n"
    "                   [--reorder-ms MS] [--seed N]\n"
    "Forwards UDP datagrams from a client to the server and replies back, impaired.\n"
    "Prints 'RELAY <port>' once listening on loopback; ends on SIGINT or SIGTERM.\n";

volatile std::sig_atomic_t g_stop = 0;
void on_signal(int) { g_stop = 1; }

bool parse(int argc, char** argv, RelayConfig* config) {
  Impairment& i = config->to_server;
  double seed = 1, port = -1;
  const std::map<std::string, double*> numbers = {
      {"--drop", &i.drop_percent},     {"--delay", &i.delay_ms},
      {"--jitter", &i.jitter_ms},      {"--reorder", &i.reorder_percent},
      {"--reorder-ms", &i.reorder_ms}, {"--seed", &seed}};
  for (int k = 1; k < argc; k += 2) {
    const std::string name = argv[k], value = k + 1 < argc ? argv[k + 1] : "";
    std::string number = value;
    if (name == "--server") {
      const std::size_t colon = value.rfind(':');
      const auto ip = parse_ipv4(value.substr(0, colon));
      if (!ip || colon == std::string::npos) return false;
      config->server.ip = *ip;
      number = value.substr(colon + 1);
    }
    char* end = nullptr;
    const double parsed = std::strtod(number.c_str(), &end);
    if (number.empty() || *end != '\0' || parsed < 0) return false;
    if (name == "--server")
      port = parsed;
    else if (numbers.count(name) != 0)
      *numbers.at(name) = parsed;
    else
      return false;
  }
  config->seed = static_cast<std::uint64_t>(seed);
  config->to_client = i;
  config->server.port = static_cast<std::uint16_t>(port);
  return port > 0 && port <= 65535 && port == config->server.port;
}

}  // namespace

int main(int argc, char** argv) {
  RelayConfig config;
  if (!parse(argc, argv, &config)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  ImpairmentRelay relay(config);
  if (relay.start() != ErrorCode::Ok) {
    std::fprintf(stderr, "tovik-relay: cannot bind its sockets\n");
    return 1;
  }
  std::signal(SIGINT, on_signal);
  std::signal(SIGTERM, on_signal);
  std::printf("RELAY %d\n", relay.port());
  std::fflush(stdout);
  while (g_stop == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  return 0;
}
