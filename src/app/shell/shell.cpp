#include "app/shell/shell.h"

#include "app/device_identity.h"
#include "app/instance_lock.h"
#include "app/logs.h"
#include "storage/paired_devices.h"
#include "storage/settings.h"

using tovik::ConnectionState;

const char* state_display_text(ConnectionState state) {
  switch (state) {
    case ConnectionState::Searching:
      return "Searching...";
    case ConnectionState::Connecting:
      return "Connecting...";
    case ConnectionState::ApprovalPending:
      return "Approval pending...";
    case ConnectionState::Connected:
      return "Connected";
    case ConnectionState::Reconnecting:
      return "Reconnecting...";
    case ConnectionState::Disconnected:
      break;
  }
  return "Disconnected";
}

Shell::Shell(ShellEnvironment environment) : env_(std::move(environment)) {}

int Shell::run() {
  // Before anything else: a second Tovik would show a second icon, announce
  // the same device id with another code and fight over the audio port.
  if (env_.claim_instance && !env_.claim_instance()) {
    env_.platform->show_notice(kAlreadyRunningText);
    return 0;
  }
  return run_claimed();
}

int Shell::run_claimed() {
  debug_log("=== Tovik starting ===");
  debug_log("Creating stream manager...");
  config_.device_name = env_.platform->computer_name();
  config_.device_id = load_or_create_device_id();
  debug_log("Calling StreamManager::create...");
  if (!create_engine()) return 1;
  debug_log("StreamManager created OK");

  debug_log("Loading settings...");
  load_settings_and_autostart();
  debug_log("Creating tray icon...");
  tray_ = std::make_unique<TrayIcon>(env_.create_tray_host(), env_.menu_options);
  tray_->set_settings(settings_);
  tray_->set_pairing_code(engine_->pairing_code());
  // The engine's flag is the one paused state; the tray only shows it.
  tray_->set_paused_source([this] { return engine_->is_paused(); });
  if (!tray_->create(make_tray_callbacks()))
    return fail("Tray icon FAILED", "Failed to create tray icon");
  debug_log("Tray icon created OK");
  debug_log("Wiring up callbacks...");
  engine_->set_state_callback([this](ConnectionState state, const std::string& detail) {
    on_state_changed(state, detail);
  });
  engine_->set_approval_callback([](const std::string&, const std::string&) { return true; });
  engine_->set_pause_callback([this](bool) { tray_->update_tooltip(); });

  debug_log("Starting stream...");
  ErrorCode started = engine_->start();
  if (started != ErrorCode::Ok) return fail("Stream start FAILED", error_message(started));
  debug_log("Stream started OK - entering message loop");
  const std::int32_t bitrate = quality_bitrate(settings_.quality);
  if (bitrate > 0) engine_->set_bitrate(bitrate);
  tray_->set_status("Searching...", "");
  tray_->run_message_loop();
  debug_log("=== Tovik shutting down ===");
  teardown();
  return 0;
}

bool Shell::create_engine() {
  Created<StreamEngine> created = env_.create_engine(config_);
  if (created.code != ErrorCode::Ok || !created.object) {
    fail("StreamManager::create FAILED", error_message(created.code));
    return false;
  }
  engine_ = std::move(created.object);
  return true;
}

void Shell::load_settings_and_autostart() {
  settings_ = load_settings();
  // The autostart entry itself, not the file, decides what the menu shows.
  settings_.start_with_windows = autostart_enabled(*env_.autostart);
}

int Shell::fail(const char* log_line, const std::string& message) {
  debug_log(log_line);
  env_.platform->show_error(message);
  teardown();
  return 1;
}

void Shell::teardown() {
  // The engine's last stop reports Disconnected: let it reach a living tray,
  // then make sure nothing reports after the tray is gone.
  if (engine_) {
    engine_->stop();
    engine_->set_state_callback(nullptr);
  }
  tray_.reset();
  engine_.reset();
}

TrayCallbacks Shell::make_tray_callbacks() {
  TrayCallbacks callbacks;
  callbacks.on_quit = [this] { engine_->stop(); };
  callbacks.on_disconnect = [this] { engine_->stop(); };
  callbacks.on_toggle_pause = [this] {
    if (engine_->is_paused()) {
      engine_->resume();
    } else {
      engine_->pause();
    }
    tray_->update_tooltip();
  };
  callbacks.on_quality = [this](AudioQuality quality) { choose_quality(quality); };
  callbacks.on_start_with_windows = [this](bool enable) {
    settings_.start_with_windows = enable;
    set_autostart(*env_.autostart, enable, env_.executable_path);
    save_settings(settings_);
    tray_->set_settings(settings_);
  };
  callbacks.on_smart_volume = [this](bool enable) {
    settings_.smart_volume = enable;
    save_settings(settings_);
    tray_->set_settings(settings_);
  };
  callbacks.on_copy_pairing_code = [this] {
    env_.platform->copy_to_clipboard(engine_->pairing_code());
  };
  return callbacks;
}

void Shell::choose_quality(AudioQuality quality) {
  settings_.quality = quality;
  save_settings(settings_);
  tray_->set_settings(settings_);
  const std::int32_t bitrate = quality_bitrate(quality);
  if (bitrate > 0) engine_->set_bitrate(bitrate);
}

void Shell::on_state_changed(ConnectionState state, const std::string& detail) {
  tray_->set_status(state_display_text(state), detail);
  if (state != ConnectionState::Connected) return;
  tray_->set_link_stats(engine_->rtt_ms(), engine_->bitrate_kbps());
  if (detail.empty()) return;
  PairedDevice device;
  device.id = detail;
  device.name = detail;
  device.timestamp = env_.platform->now_seconds();
  add_paired_device(device);
}
