#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The discovery port: announcements are broadcast to it and heard on it.
constexpr std::uint16_t kDiscoveryPort = 19482;
// The listener's receive buffer; it accepts datagrams of one byte less.
constexpr std::size_t kListenBufferSize = 512;
constexpr std::size_t kMaxAnnouncementSize = kListenBufferSize - 1;

// The fields an announcement carries.
struct Announcement {
  std::string name;
  std::uint16_t port = 0;
  std::string id;
};

enum class AnnouncementParse {
  Ok,
  NotTovik,   // does not begin with "TOVIK|"
  Malformed,  // a separator or the port digits are missing, or the port overflows
};

// "TOVIK|" name "|" port "|" id: the fields unchanged, the port in decimal.
std::string build_announcement(const std::string& name, std::uint16_t port, const std::string& id);

// Splits a received datagram; out is filled only for Ok. The port keeps the
// low 16 bits of a signed 32-bit decimal value (65536 gives 0, -1 gives 65535).
AnnouncementParse parse_announcement(const char* data, std::size_t size, Announcement* out);

// strtol-style conversion limited to 32 bits: leading white space, an optional
// sign, digits up to the first other byte. Nothing without digits or on overflow.
std::optional<std::int32_t> parse_decimal_int32(const std::string& text);

// Repeating events are logged for the first three occurrences, then every n-th.
bool is_logged_occurrence(int count, int every);
