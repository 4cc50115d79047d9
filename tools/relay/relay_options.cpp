#include "relay_options.h"

#include <cstdlib>

const char kRelayUsage[] =
    "usage: tovik-relay --server IP:PORT [--listen [IP:]PORT] [--drop PCT] [--delay MS]\n"
    "                   [--jitter MS] [--duplicate PCT] [--reorder PCT] [--reorder-ms MS]\n"
    "                   [--direction both|to-server|to-client] [--seed N]\n"
    "Forwards UDP datagrams from clients to the server and replies back, impaired.\n"
    "Prints 'RELAY <port>' once listening; counts on exit (SIGINT/SIGTERM).\n";

namespace {

bool parse_number(const std::string& text, double* out) {
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (text.empty() || end == nullptr || *end != '\0' || value < 0) return false;
  *out = value;
  return true;
}

struct Knobs {
  Impairment impairment;
  std::string direction = "both";
};

bool apply_knob(const std::string& name, double value, Knobs* knobs) {
  Impairment& i = knobs->impairment;
  if (name == "--drop")
    i.drop_percent = value;
  else if (name == "--duplicate")
    i.duplicate_percent = value;
  else if (name == "--reorder")
    i.reorder_percent = value;
  else if (name == "--delay")
    i.delay_ms = static_cast<int>(value);
  else if (name == "--jitter")
    i.jitter_ms = static_cast<int>(value);
  else if (name == "--reorder-ms")
    i.reorder_ms = static_cast<int>(value);
  else
    return false;
  return true;
}

bool apply_option(const std::string& name, const std::string& value, RelayConfig* config,
                  Knobs* knobs, bool* have_server) {
  if (name == "--server") {
    auto address = parse_host_port(value, kIpv4Loopback);
    if (!address || address->port == 0) return false;
    config->server = *address;
    *have_server = true;
    return true;
  }
  if (name == "--listen") {
    auto address = parse_host_port(value, kIpv4Loopback);
    if (!address) return false;
    config->listen_ip = address->ip;
    config->listen_port = address->port;
    return true;
  }
  if (name == "--direction") {
    knobs->direction = value;
    return value == "both" || value == "to-server" || value == "to-client";
  }
  double number = 0;
  if (!parse_number(value, &number)) return false;
  if (name == "--seed") {
    config->seed = static_cast<std::uint64_t>(number);
    return true;
  }
  return apply_knob(name, number, knobs);
}

}  // namespace

std::optional<SocketAddress> parse_host_port(const std::string& text, std::uint32_t default_ip) {
  SocketAddress address;
  address.ip = default_ip;
  std::string port_text = text;
  const std::size_t colon = text.rfind(':');
  if (colon != std::string::npos) {
    auto ip = parse_ipv4(text.substr(0, colon));
    if (!ip) return std::nullopt;
    address.ip = *ip;
    port_text = text.substr(colon + 1);
  }
  double port = 0;
  if (!parse_number(port_text, &port) || port > 65535 || port != static_cast<int>(port)) {
    return std::nullopt;
  }
  address.port = static_cast<std::uint16_t>(port);
  return address;
}

std::optional<RelayConfig> parse_relay_options(const std::vector<std::string>& args,
                                               std::string* error) {
  RelayConfig config;
  Knobs knobs;
  bool have_server = false;
  for (std::size_t k = 0; k < args.size(); k += 2) {
    if (k + 1 >= args.size()) {
      *error = "missing value for " + args[k];
      return std::nullopt;
    }
    if (!apply_option(args[k], args[k + 1], &config, &knobs, &have_server)) {
      *error = "bad option " + args[k] + " " + args[k + 1];
      return std::nullopt;
    }
  }
  if (!have_server) {
    *error = "--server is required";
    return std::nullopt;
  }
  if (knobs.direction != "to-client") config.to_server = knobs.impairment;
  if (knobs.direction != "to-server") config.to_client = knobs.impairment;
  return config;
}
