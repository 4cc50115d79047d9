#include <cstdio>

#include "transport/udp_socket.h"

std::string format_ipv4(std::uint32_t ip) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", (ip >> 24) & 0xFFu, (ip >> 16) & 0xFFu,
                (ip >> 8) & 0xFFu, ip & 0xFFu);
  return text;
}

namespace {

// Reads one part of 1 to 3 digits, without leading zeros, up to 255.
bool parse_octet(const std::string& text, std::size_t* pos, std::uint32_t* out) {
  const std::size_t start = *pos;
  std::uint32_t value = 0;
  while (*pos < text.size() && *pos - start < 4 && text[*pos] >= '0' && text[*pos] <= '9') {
    value = value * 10 + static_cast<std::uint32_t>(text[*pos] - '0');
    ++*pos;
  }
  const std::size_t digits = *pos - start;
  if (digits == 0 || digits > 3 || value > 255) return false;
  if (digits > 1 && text[start] == '0') return false;
  *out = value;
  return true;
}

}  // namespace

std::optional<std::uint32_t> parse_ipv4(const std::string& text) {
  std::uint32_t ip = 0;
  std::size_t pos = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (pos >= text.size() || text[pos] != '.') return std::nullopt;
      ++pos;
    }
    std::uint32_t octet = 0;
    if (!parse_octet(text, &pos, &octet)) return std::nullopt;
    ip = (ip << 8) | octet;
  }
  if (pos != text.size()) return std::nullopt;
  return ip;
}
