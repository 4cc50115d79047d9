#include "storage/flat_json.h"

#include <cerrno>
#include <cstdlib>

namespace {

constexpr std::size_t kNotFound = std::string::npos;

// Position right after the first occurrence of `pattern`, or kNotFound.
std::size_t after(const std::string& text, const std::string& pattern) {
  std::size_t at = text.find(pattern);
  return at == kNotFound ? kNotFound : at + pattern.size();
}

// Position right after "key": and the spaces that follow, or kNotFound.
std::size_t value_start(const std::string& text, const std::string& key) {
  std::size_t pos = after(text, "\"" + key + "\":");
  if (pos == kNotFound) return kNotFound;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  return pos;
}

}  // namespace

std::string json_get_string(const std::string& text, const std::string& key) {
  std::size_t start = after(text, "\"" + key + "\":\"");
  if (start == kNotFound || start >= text.size()) return "";
  std::size_t end = text.find('"', start);
  if (end == kNotFound) return "";
  return text.substr(start, end - start);
}

bool json_get_bool(const std::string& text, const std::string& key, bool fallback) {
  std::size_t pos = value_start(text, key);
  if (pos == kNotFound) return fallback;
  if (text.compare(pos, 4, "true") == 0) return true;
  if (text.compare(pos, 5, "false") == 0) return false;
  return fallback;
}

std::int64_t json_get_int64(const std::string& text, const std::string& key) {
  std::size_t pos = value_start(text, key);
  if (pos == kNotFound || pos >= text.size()) return 0;
  const char* start = text.c_str() + pos;
  char* end = nullptr;
  errno = 0;
  long long value = std::strtoll(start, &end, 10);
  if (end == start || errno == ERANGE) return 0;
  return static_cast<std::int64_t>(value);
}

std::string json_string_field(const std::string& key, const std::string& value) {
  return "\"" + key + "\":\"" + value + "\"";
}

std::string json_bool_field(const std::string& key, bool value) {
  return "\"" + key + "\":" + (value ? "true" : "false");
}
