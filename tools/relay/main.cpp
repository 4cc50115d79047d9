// tovik-relay: a UDP impairment relay for tests, benchmarks and people, since
// the kernel here has no netem.
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
    "usage: tovik-relay --server IP:PORT [--listen IP:PORT] [--drop PCT] [--delay MS]\n"
    "                   [--jitter MS] [--reorder PCT] [--reorder-ms MS] [--duplicate PCT]\n"
    "                   [--direction both|to-server|to-client] [--seed N]\n"
    "Forwards UDP datagrams from a client to the server and replies back, impaired.\n"
    "Prints 'RELAY <port>' once listening; counts on exit (SIGINT/SIGTERM).\n";

volatile std::sig_atomic_t g_stop = 0;
void on_signal(int) { g_stop = 1; }

bool parse_address(const std::string& text, std::uint32_t* ip, std::uint16_t* port) {
  const std::size_t colon = text.rfind(':');
  const auto parsed = parse_ipv4(text.substr(0, colon));
  char* end = nullptr;
  const long number = colon == std::string::npos ? -1 : std::strtol(&text[colon + 1], &end, 10);
  if (!parsed || number < 0 || number > 65535 || *end != '\0') return false;
  *ip = *parsed;
  *port = static_cast<std::uint16_t>(number);
  return true;
}

bool parse(int argc, char** argv, RelayConfig* config) {
  Impairment i;
  double seed = 1;
  std::string direction = "both";
  const std::map<std::string, double*> numbers = {{"--drop", &i.drop_percent},
                                                  {"--delay", &i.delay_ms},
                                                  {"--jitter", &i.jitter_ms},
                                                  {"--reorder", &i.reorder_percent},
                                                  {"--reorder-ms", &i.reorder_ms},
                                                  {"--duplicate", &i.duplicate_percent},
                                                  {"--seed", &seed}};
  for (int k = 1; k < argc; k += 2) {
    const std::string name = argv[k], value = k + 1 < argc ? argv[k + 1] : "";
    char* end = nullptr;
    bool ok = !value.empty();
    if (name == "--server")
      ok = parse_address(value, &config->server.ip, &config->server.port);
    else if (name == "--listen")
      ok = parse_address(value, &config->listen_ip, &config->listen_port);
    else if (name == "--direction")
      direction = value;
    else if (numbers.count(name) != 0)
      *numbers.at(name) = std::strtod(value.c_str(), &end);
    else
      ok = false;
    if (!ok || (end != nullptr && (*end != '\0' || *numbers.at(name) < 0))) return false;
  }
  config->seed = static_cast<std::uint64_t>(seed);
  if (direction != "to-client") config->to_server = i;
  if (direction != "to-server") config->to_client = i;
  const bool known = direction == "both" || direction == "to-server" || direction == "to-client";
  return known && config->server.port != 0;
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
  relay.stop();
  for (int d = 0; d < 2; ++d) {
    std::printf("%s received=%llu sent=%llu\n", d == 0 ? "to-server" : "to-client",
                static_cast<unsigned long long>(relay.received(d)),
                static_cast<unsigned long long>(relay.sent(d)));
  }
  return 0;
}
