// The flat JSON readers on arbitrary text, plus writer round trips for a key
// and value taken from the input.
#include "storage/flat_json.h"
#include "storage/settings.h"
#include "support/fuzz_support.h"

namespace {

void check_readers(const std::string& text, const std::string& key) {
  const std::string value = json_get_string(text, key);
  check(value.find('"') == std::string::npos);
  check(value.empty() || text.find("\"" + key + "\":\"" + value + "\"") != std::string::npos);
  // Either the value decides (both agree) or both fall back on the default.
  check(json_get_bool(text, key, true) || !json_get_bool(text, key, false));
  check(json_get_int64(text, key) == 0 || text.find("\"" + key + "\":") != std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = as_text(data, size);
  for (const char* key : {"quality", "start_with_windows", "smart_volume", "id", "timestamp", ""}) {
    check_readers(text, key);
  }
  // The first line is a key of the input's own choosing, the rest its value.
  const std::size_t split = text.find('\n');
  const std::string key = text.substr(0, split);
  const std::string value = split == std::string::npos ? "" : text.substr(split + 1);
  check_readers(value, key);
  check(value.find('"') != std::string::npos ||
        json_get_string(json_string_field(key, value), key) == value);
  check(json_get_bool(json_bool_field(key, true), key, false) &&
        !json_get_bool(json_bool_field(key, false), key, true));
  // Settings survive a save/load round trip whatever they were read from.
  const AppSettings settings = parse_settings(text);
  const AppSettings again = parse_settings(format_settings(settings));
  check(again.quality == settings.quality &&
        again.start_with_windows == settings.start_with_windows &&
        again.smart_volume == settings.smart_volume);
  return 0;
}
