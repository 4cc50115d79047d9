#include "discovery/announcement.h"

namespace {

constexpr char kPrefix[] = "TOVIK|";
constexpr std::size_t kPrefixSize = sizeof kPrefix - 1;
constexpr char kSeparator = '|';

// The white space of the C locale, as strtol skips it.
bool is_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string build_announcement(const std::string& name, std::uint16_t port, const std::string& id) {
  std::string text = kPrefix;
  text += name;
  text += kSeparator;
  text += std::to_string(port);
  text += kSeparator;
  text += id;
  return text;
}

std::optional<std::int32_t> parse_decimal_int32(const std::string& text) {
  std::size_t pos = 0;
  while (pos < text.size() && is_space(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  if (pos >= text.size() || !is_digit(text[pos])) return std::nullopt;
  const std::int64_t limit = negative ? 2147483648LL : 2147483647LL;
  std::int64_t value = 0;
  for (; pos < text.size() && is_digit(text[pos]); ++pos) {
    value = value * 10 + (text[pos] - '0');
    if (value > limit) return std::nullopt;
  }
  return static_cast<std::int32_t>(negative ? -value : value);
}

AnnouncementParse parse_announcement(const char* data, std::size_t size, Announcement* out) {
  const std::string text(data, size);
  if (text.compare(0, kPrefixSize, kPrefix) != 0) return AnnouncementParse::NotTovik;
  const std::size_t first = text.find(kSeparator, kPrefixSize);
  if (first == std::string::npos) return AnnouncementParse::Malformed;
  const std::size_t second = text.find(kSeparator, first + 1);
  if (second == std::string::npos) return AnnouncementParse::Malformed;
  const auto port = parse_decimal_int32(text.substr(first + 1, second - first - 1));
  if (!port) return AnnouncementParse::Malformed;
  out->name = text.substr(kPrefixSize, first - kPrefixSize);
  out->port = static_cast<std::uint16_t>(static_cast<std::uint32_t>(*port) & 0xFFFFu);
  out->id = text.substr(second + 1);
  return AnnouncementParse::Ok;
}

bool is_logged_occurrence(int count, int every) { return count <= 3 || count % every == 0; }
