#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/error_code.h"
#include "app/shell/platform_services.h"
#include "app/shell/refusal_notices.h"
#include "engine/stream_config.h"
#include "engine/stream_engine.h"
#include "storage/app_settings.h"
#include "storage/autostart.h"
#include "tray/menu_model.h"
#include "tray/tray_host.h"
#include "tray/tray_icon.h"

// Everything the wiring takes from the platform; the entry point of each
// platform fills it, the tests fill it with fakes.
struct ShellEnvironment {
  PlatformServices* platform = nullptr;
  AutostartEntry* autostart = nullptr;
  // Claims the one-Tovik-per-session lock; false when another Tovik holds
  // it. Empty: no check.
  std::function<bool()> claim_instance;
  // The program that the autostart entry starts.
  std::string executable_path;
  std::function<Created<StreamEngine>(const StreamConfig&)> create_engine;
  std::function<std::unique_ptr<TrayHost>()> create_tray_host;
  MenuOptions menu_options;
};

// The display text of a connection state ("Searching...", "Connected", ...).
const char* state_display_text(tovik::ConnectionState state);

// Start-up, the message loop and teardown of Tovik. run returns the exit
// code: 0 after "Quit Tovik" and when another Tovik runs already (the user
// is told), 1 after a start-up failure (shown to the user).
class Shell {
 public:
  explicit Shell(ShellEnvironment environment);
  int run();

 private:
  int fail(const char* log_line, const std::string& message);
  int run_claimed();
  bool create_engine();
  void load_settings_and_autostart();
  TrayCallbacks make_tray_callbacks();
  void wire_engine_callbacks();
  void on_state_changed(tovik::ConnectionState state, const std::string& detail);
  void on_refused(const tovik::RefusedHello& refused);
  void on_paired(const std::string& id, const std::string& name);
  void choose_quality(AudioQuality quality);
  void teardown();

  ShellEnvironment env_;
  StreamConfig config_;
  std::unique_ptr<StreamEngine> engine_;
  AppSettings settings_;
  std::unique_ptr<TrayIcon> tray_;
  RefusalNotices notices_;  // the session's listen thread only
};
