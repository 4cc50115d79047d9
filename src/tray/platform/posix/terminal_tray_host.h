#pragma once

#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "tray/platform/posix/signal_pipe.h"
#include "tray/tray_host.h"

// The tray for a session without a display: prints the pairing code with its
// QR symbol and how to listen once the loop starts, then one line per status
// change, and turns SIGINT and SIGTERM into the Quit command on the loop's
// thread.
class TerminalTrayHost : public TrayHost {
 public:
  // Writes to `out`, which outlives the host. `ansi_colours` forces light on
  // dark around the QR symbol with escape codes (for a terminal, not a file).
  // `receiver` is the tovik-receive that the listen commands name for this
  // computer; empty prints none.
  TerminalTrayHost(std::ostream& out, bool ansi_colours, std::string receiver = {});
  ~TerminalTrayHost() override;

  // Opens the signal pipe and takes over SIGINT and SIGTERM; false when that
  // fails.
  bool create(TrayHostSink& sink, const std::u16string& tooltip) override;
  // Gives SIGINT and SIGTERM back.
  void destroy() override;
  // Queues the status line for the loop; any thread, never waits for it.
  void set_tooltip(const std::u16string& tooltip) override;
  // Queues "Notice: <text>" for the loop, the same way.
  void show_notice(const std::u16string& title, const std::u16string& text) override;
  // A terminal has no menu: nothing to show.
  void show_menu(const MenuModel& model) override;
  void run_message_loop() override;
  void quit() override;

 private:
  void print_pairing_code();
  void print_listen_commands(const std::string& code);
  void print_status(const std::u16string& tooltip);
  void print_pending_statuses();
  void wait_and_handle_events();

  std::ostream& out_;
  const bool ansi_colours_;
  const std::string receiver_;
  TrayHostSink* sink_ = nullptr;
  bool quit_requested_ = false;  // loop thread only
  std::u16string printed_;       // the last status line printed; loop thread only

  std::mutex mutex_;  // guards pipe_ writes/close, latest_ and pending_
  SignalPipe pipe_;
  std::u16string latest_;
  std::vector<std::u16string> pending_;
  std::vector<std::u16string> notices_;
};
