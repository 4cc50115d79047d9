#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "storage/app_settings.h"

// The seven tray commands, in the order the shell supplies them. Any slot may
// be empty; an empty slot makes its command do nothing (Quit still quits).
struct TrayCallbacks {
  std::function<void()> on_quit;                    // 2006
  std::function<void()> on_disconnect;              // 2004
  std::function<void()> on_toggle_pause;            // 2007
  std::function<void(AudioQuality)> on_quality;     // 2010..2013
  std::function<void(bool)> on_start_with_windows;  // 2014
  std::function<void(bool)> on_smart_volume;        // 2015
  std::function<void()> on_copy_pairing_code;       // 2020
};

// A copy of the tray's display state, taken under its mutex.
struct TraySnapshot {
  std::string status_text = "Disconnected";  // UTF-8
  std::string peer_name;                     // UTF-8, may be empty
  std::string pairing_code;                  // normally six digits
  std::int32_t rtt_ms = 0;                   // 0 = none reported
  std::int32_t bitrate_kbps = 0;             // 0 = none reported
  bool paused = false;
  AppSettings settings;
};

// Menu item ids, which are also the command ids a host hands back.
namespace tray_command {
constexpr int kDisconnect = 2004;
constexpr int kQuit = 2006;
constexpr int kTogglePause = 2007;
constexpr int kQualityAuto = 2010;
constexpr int kQualityHigh = 2011;
constexpr int kQualityMedium = 2012;
constexpr int kQualityLow = 2013;
constexpr int kStartWithWindows = 2014;
constexpr int kSmartVolume = 2015;
constexpr int kCopyPairingCode = 2020;
constexpr int kQrPanel = 2030;  // the owner-drawn QR item; not a command
}  // namespace tray_command
