#pragma once

#include <cstdint>
#include <string>

// What the start-up wiring needs of the platform besides the tray: one
// implementation per platform (Win32; Linux desktop; terminal), a recording
// fake in the tests. Everything runs on the UI thread.
class PlatformServices {
 public:
  virtual ~PlatformServices() = default;
  // The computer's name (GetComputerNameA, gethostname); empty on failure.
  virtual std::string computer_name() = 0;
  // Shows a start-up failure and returns when the user has seen it: a message
  // box captioned "Tovik - Error" with an error icon on Windows, a dialog or
  // stderr elsewhere. `text` is UTF-8.
  virtual void show_error(const std::string& text) = 0;
  // Tells the user something that needs no answer (a second start of Tovik):
  // a message box captioned "Tovik" with an information icon on Windows; on
  // Linux stderr and, on a desktop, a notification. `text` is UTF-8.
  virtual void show_notice(const std::string& text) = 0;
  // Puts `text` on the clipboard as plain text.
  virtual void copy_to_clipboard(const std::string& text) = 0;
  // Calendar time in seconds since 1970-01-01 UTC.
  virtual std::int64_t now_seconds() = 0;
};
