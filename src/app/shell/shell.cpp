#include "app/shell/shell.h"

#include <algorithm>

#include "app/device_identity.h"
#include "app/instance_lock.h"
#include "app/logs.h"
#include "storage/paired_devices.h"
#include "storage/settings.h"
#include "transport/receiver_memory.h"
#include "transport/steady_clock.h"

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

namespace {

// The receivers that proved the code in earlier runs, oldest first. Entries
// keyed by a name (written before receivers had ids) are not trusted.
std::vector<std::string> remembered_receiver_ids() {
  std::vector<PairedDevice> devices = load_paired_devices();
  std::stable_sort(devices.begin(), devices.end(),
                   [](const auto& a, const auto& b) { return a.timestamp < b.timestamp; });
  std::vector<std::string> ids;
  for (const PairedDevice& device : devices) {
    if (can_remember_receiver(device.id, device.name)) ids.push_back(device.id);
  }
  return ids;
}

}  // namespace

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
  config_.remembered_receivers = remembered_receiver_ids();
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
  wire_engine_callbacks();

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

void Shell::wire_engine_callbacks() {
  engine_->set_state_callback([this](ConnectionState state, const std::string& detail) {
    on_state_changed(state, detail);
  });
  // Every receiver that proved the pairing code is welcome.
  engine_->set_approval_callback([](const std::string&, const std::string&) { return true; });
  engine_->set_refusal_callback(
      [this](const tovik::RefusedHello& refused) { on_refused(refused); });
  engine_->set_paired_callback(
      [this](const std::string& id, const std::string& name) { on_paired(id, name); });
  // A receiver's pause or resume shows at once, not at the next report.
  engine_->set_pause_callback([this](bool) { tray_->update_tooltip(); });
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
}

// On the listen thread: the notice is handed to the tray host, which shows
// it on its own thread, so the session never waits for the desktop.
void Shell::on_refused(const tovik::RefusedHello& refused) {
  if (notices_.should_show(refused.source_ip, steady_ms())) {
    tray_->show_notice(refusal_notice_text(refused));
  }
}

// Remembered by its own id (which it proved with the code), shown by name.
void Shell::on_paired(const std::string& id, const std::string& name) {
  PairedDevice device;
  device.id = id;
  device.name = safe_receiver_name(name);
  device.timestamp = env_.platform->now_seconds();
  add_paired_device(device);
}
