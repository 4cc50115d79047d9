#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "tray/tray_host.h"

// A TrayHost for tests: records every call. run_message_loop runs the
// scripted `on_run` (which plays the user, through the sink) and returns.
class RecordingTrayHost : public TrayHost {
 public:
  struct Record {
    int create_calls = 0;
    int destroy_calls = 0;
    int run_calls = 0;
    int quit_calls = 0;
    std::vector<std::u16string> tooltips;  // the create tooltip first
    std::vector<MenuModel> menus;
    std::vector<std::u16string> notices;  // the texts
  };

  explicit RecordingTrayHost(bool create_succeeds = true);

  // Runs inside run_message_loop with the sink that create received.
  void set_on_run(std::function<void(TrayHostSink&)> on_run);
  // Runs inside destroy (which happens in ~TrayIcon, after which the host
  // itself is gone).
  void set_on_destroy(std::function<void()> on_destroy);
  // A copy of what was recorded so far; safe from any thread.
  Record record() const;

  bool create(TrayHostSink& sink, const std::u16string& tooltip) override;
  void destroy() override;
  void set_tooltip(const std::u16string& tooltip) override;
  void show_notice(const std::u16string& title, const std::u16string& text) override;
  void show_menu(const MenuModel& model) override;
  void run_message_loop() override;
  void quit() override;

 private:
  const bool create_succeeds_;
  std::function<void(TrayHostSink&)> on_run_;
  std::function<void()> on_destroy_;
  TrayHostSink* sink_ = nullptr;
  mutable std::mutex mutex_;  // guards record_
  Record record_;
};
