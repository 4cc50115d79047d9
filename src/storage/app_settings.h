#pragma once

#include <cstdint>

// The user's stream quality choice. Auto leaves the engine's bitrate alone.
enum class AudioQuality : std::int32_t {
  Auto = 0,
  High = 1,    // 256000 bit/s
  Medium = 2,  // 128000 bit/s
  Low = 3,     // 64000 bit/s
};

// The three choices kept in settings.json.
struct AppSettings {
  AudioQuality quality = AudioQuality::Auto;
  bool start_with_windows = false;
  bool smart_volume = false;
};
