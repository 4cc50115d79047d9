#pragma once

#include <optional>
#include <string>
#include <vector>

#include "impairment_relay.h"

// "IP:PORT" or "PORT" (with default_ip) as an address; nothing when malformed.
std::optional<SocketAddress> parse_host_port(const std::string& text, std::uint32_t default_ip);

// The relay's configuration from command-line arguments (without argv[0]);
// nothing and a message in *error when they are wrong.
std::optional<RelayConfig> parse_relay_options(const std::vector<std::string>& args,
                                               std::string* error);

extern const char kRelayUsage[];
