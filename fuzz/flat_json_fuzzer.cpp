// The flat JSON readers on arbitrary text, plus writer round trips for a key
// and value taken from the input.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "storage/flat_json.h"
#include "storage/settings.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

void check_readers(const std::string& text, const std::string& key) {
  std::string value = json_get_string(text, key);
  check(value.find('"') == std::string::npos);
  if (!value.empty()) check(text.find("\"" + key + "\":\"" + value + "\"") != std::string::npos);
  bool with_true = json_get_bool(text, key, true);
  bool with_false = json_get_bool(text, key, false);
  // Either the value decides (both agree) or both fall back on the default.
  check(with_true == with_false || (with_true && !with_false));
  if (json_get_int64(text, key) != 0) check(text.find("\"" + key + "\":") != std::string::npos);
}

void check_writers(const std::string& key, const std::string& value) {
  if (value.find('"') == std::string::npos) {
    check(json_get_string(json_string_field(key, value), key) == value);
  }
  check(json_get_bool(json_bool_field(key, true), key, false));
  check(!json_get_bool(json_bool_field(key, false), key, true));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  for (const char* key : {"quality", "start_with_windows", "smart_volume", "id", "timestamp", ""}) {
    check_readers(text, key);
  }
  // The first line is a key of the input's own choosing, the rest its value.
  std::size_t split = text.find('\n');
  std::string key = text.substr(0, split);
  std::string rest = split == std::string::npos ? "" : text.substr(split + 1);
  check_readers(rest, key);
  check_writers(key, rest);
  std::int64_t number = json_get_int64(text, "timestamp");
  check(json_get_int64("\"n\":" + std::to_string(number), "n") == number);
  // Settings survive a save/load round trip whatever they were read from.
  AppSettings settings = parse_settings(text);
  AppSettings again = parse_settings(format_settings(settings));
  check(again.quality == settings.quality &&
        again.start_with_windows == settings.start_with_windows &&
        again.smart_volume == settings.smart_volume);
  return 0;
}
