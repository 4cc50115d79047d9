#pragma once

#include <cstdint>
#include <string>

#include "storage/app_settings.h"

// The text stored for a quality: "high", "medium", "low", else "auto".
const char* quality_text(AudioQuality quality);

// The quality for a stored text, compared whole and case-sensitively; any
// other text is Auto.
AudioQuality quality_from_text(const std::string& text);

// Settings from the text of settings.json; "" or any error gives the defaults,
// and each malformed key falls back on its own default.
AppSettings parse_settings(const std::string& text);

// The one line of settings.json, "\n" at the end.
std::string format_settings(const AppSettings& settings);

// Reads settings.json from the storage folder; defaults when missing.
AppSettings load_settings();

// Rewrites settings.json atomically; failures leave the old file and are not
// reported.
void save_settings(const AppSettings& settings);

// The bit rate for the engine: 256000, 128000, 64000, or 0 (leave it) for Auto
// and any other value.
std::int32_t quality_bitrate(AudioQuality quality);
