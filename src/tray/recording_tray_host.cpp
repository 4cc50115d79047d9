#include "tray/recording_tray_host.h"

RecordingTrayHost::RecordingTrayHost(bool create_succeeds) : create_succeeds_(create_succeeds) {}

void RecordingTrayHost::set_on_run(std::function<void(TrayHostSink&)> on_run) {
  on_run_ = std::move(on_run);
}

void RecordingTrayHost::set_on_destroy(std::function<void()> on_destroy) {
  on_destroy_ = std::move(on_destroy);
}

RecordingTrayHost::Record RecordingTrayHost::record() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return record_;
}

bool RecordingTrayHost::create(TrayHostSink& sink, const std::u16string& tooltip) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++record_.create_calls;
  if (!create_succeeds_) return false;
  sink_ = &sink;
  record_.tooltips.push_back(tooltip);
  return true;
}

void RecordingTrayHost::destroy() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++record_.destroy_calls;
    sink_ = nullptr;
  }
  if (on_destroy_) on_destroy_();
}

void RecordingTrayHost::set_tooltip(const std::u16string& tooltip) {
  std::lock_guard<std::mutex> lock(mutex_);
  record_.tooltips.push_back(tooltip);
}

void RecordingTrayHost::show_notice(const std::u16string&, const std::u16string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  record_.notices.push_back(text);
}

void RecordingTrayHost::show_menu(const MenuModel& model) {
  std::lock_guard<std::mutex> lock(mutex_);
  record_.menus.push_back(model);
}

void RecordingTrayHost::run_message_loop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++record_.run_calls;
  }
  if (on_run_ && sink_ != nullptr) on_run_(*sink_);
}

void RecordingTrayHost::quit() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++record_.quit_calls;
}
