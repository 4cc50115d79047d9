#pragma once

#include <ostream>

#include "app/shell/platform_services.h"

// Platform services for a session without a display: errors go to `err`
// (stderr in the program), one line each.
class TerminalPlatformServices : public PlatformServices {
 public:
  explicit TerminalPlatformServices(std::ostream& err);

  std::string computer_name() override;
  // Writes "Tovik - Error: <text>" and a newline.
  void show_error(const std::string& text) override;
  // Writes "Tovik: <text>" and a newline.
  void show_notice(const std::string& text) override;
  // Does nothing: the terminal host has no menu, so "Copy Pairing Code"
  // cannot be chosen, and the code is printed for the user to copy.
  void copy_to_clipboard(const std::string& text) override;
  std::int64_t now_seconds() override;

 private:
  std::ostream& err_;
};
