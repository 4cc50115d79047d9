#include "storage/settings.h"

#include "app/atomic_file.h"
#include "storage/flat_json.h"
#include "storage/storage_dir.h"

namespace {

const char kSettingsFile[] = "settings.json";

}  // namespace

const char* quality_text(AudioQuality quality) {
  switch (quality) {
    case AudioQuality::High:
      return "high";
    case AudioQuality::Medium:
      return "medium";
    case AudioQuality::Low:
      return "low";
    default:
      return "auto";
  }
}

AudioQuality quality_from_text(const std::string& text) {
  if (text == "high") return AudioQuality::High;
  if (text == "medium") return AudioQuality::Medium;
  if (text == "low") return AudioQuality::Low;
  return AudioQuality::Auto;
}

AppSettings parse_settings(const std::string& text) {
  AppSettings settings;
  if (text.empty()) return settings;
  try {
    settings.quality = quality_from_text(json_get_string(text, "quality"));
    settings.start_with_windows = json_get_bool(text, "start_with_windows", false);
    settings.smart_volume = json_get_bool(text, "smart_volume", false);
  } catch (...) {
    return AppSettings{};  // Out of memory while reading: all defaults.
  }
  return settings;
}

std::string format_settings(const AppSettings& settings) {
  return "{" + json_string_field("quality", quality_text(settings.quality)) + "," +
         json_bool_field("start_with_windows", settings.start_with_windows) + "," +
         json_bool_field("smart_volume", settings.smart_volume) + "}\n";
}

AppSettings load_settings() {
  try {
    return parse_settings(read_text_file(storage_file(kSettingsFile)));
  } catch (...) {
    return AppSettings{};
  }
}

void save_settings(const AppSettings& settings) {
  try {
    std::string path = storage_file(kSettingsFile);
    if (!path.empty()) write_text_file_atomically(path, format_settings(settings));
  } catch (...) {
    // Persistence never reports: the change holds in memory for this run.
  }
}

std::int32_t quality_bitrate(AudioQuality quality) {
  switch (quality) {
    case AudioQuality::High:
      return 256000;
    case AudioQuality::Medium:
      return 128000;
    case AudioQuality::Low:
      return 64000;
    default:
      return 0;
  }
}
