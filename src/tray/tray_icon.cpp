#include "tray/tray_icon.h"

#include "tray/command_dispatch.h"
#include "tray/tooltip.h"
#include "tray/utf8_text.h"

TrayIcon::TrayIcon(std::unique_ptr<TrayHost> host, MenuOptions options)
    : host_(std::move(host)),
      options_(std::move(options)),
      tooltip_(compose_tooltip("Disconnected", "")) {}

TrayIcon::~TrayIcon() {
  if (created_.exchange(false)) host_->destroy();
}

bool TrayIcon::create(TrayCallbacks callbacks) {
  callbacks_ = std::move(callbacks);
  if (!host_->create(*this, compose_tooltip("Disconnected", ""))) return false;
  created_ = true;
  return true;
}

void TrayIcon::run_message_loop() { host_->run_message_loop(); }

void TrayIcon::set_status(const std::string& status_text, const std::string& peer_name) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    state_.status_text = status_text;
    state_.peer_name = peer_name;
    if (status_text != "Connected") {
      state_.rtt_ms = 0;
      state_.bitrate_kbps = 0;
    }
  }
  update_tooltip();
}

void TrayIcon::set_link_stats(std::int32_t rtt_ms, std::int32_t bitrate_kbps) {
  std::lock_guard<std::mutex> lock(mutex_);
  state_.rtt_ms = rtt_ms;
  state_.bitrate_kbps = bitrate_kbps;
}

void TrayIcon::set_pairing_code(const std::string& code) {
  std::lock_guard<std::mutex> lock(mutex_);
  state_.pairing_code = code;
}

void TrayIcon::set_paused_source(std::function<bool()> source) {
  paused_source_ = std::move(source);
}

void TrayIcon::set_settings(const AppSettings& settings) {
  std::lock_guard<std::mutex> lock(mutex_);
  state_.settings = settings;
}

void TrayIcon::show_notice(const std::string& text) {
  if (created_) host_->show_notice(u"Tovik", utf8_to_utf16_or_empty(text));
}

void TrayIcon::update_tooltip() {
  // Two threads may report states at once; the last composed text must be
  // the last one the host shows, so read, compose and hand over as one step.
  std::lock_guard<std::mutex> lock(tooltip_mutex_);
  const TraySnapshot state = snapshot();
  tooltip_ = compose_tooltip(state.status_text, state.peer_name, state.paused);
  if (created_) host_->set_tooltip(tooltip_);
}

TraySnapshot TrayIcon::snapshot() const {
  TraySnapshot copy;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    copy = state_;
  }
  copy.paused = paused_source_ && paused_source_();
  return copy;
}

std::u16string TrayIcon::tooltip() const {
  std::lock_guard<std::mutex> lock(tooltip_mutex_);
  return tooltip_;
}

MenuModel TrayIcon::menu_model() const { return build_menu_model(snapshot(), options_); }

void TrayIcon::show_menu() { host_->show_menu(menu_model()); }

bool TrayIcon::dispatch_command(int id) {
  AppSettings settings = snapshot().settings;  // copied: callbacks may call set_settings
  CommandResult result = ::dispatch_command(id, callbacks_, settings);
  if (result == CommandResult::Quit) host_->quit();
  return result != CommandResult::NotHandled;
}

QrPanelLayout TrayIcon::qr_panel_layout(const PixelRect& item, int dpi_x, int dpi_y) const {
  std::string code;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    code = state_.pairing_code;
  }
  return layout_qr_panel(item, dpi_x, dpi_y, code);
}
