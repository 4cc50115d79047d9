#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "app/shell/platform_services.h"

// PlatformServices on Windows. Construct and use it on the UI thread.
class Win32PlatformServices : public PlatformServices {
 public:
  // The message box function; tests pass a recorder so that nothing blocks.
  using MessageBoxFunction = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);

  explicit Win32PlatformServices(MessageBoxFunction message_box = &MessageBoxA);
  ~Win32PlatformServices() override;  // destroys the clipboard's owner window
  Win32PlatformServices(const Win32PlatformServices&) = delete;
  Win32PlatformServices& operator=(const Win32PlatformServices&) = delete;

  // GetComputerNameW, as UTF-8 (a name outside the ANSI code page stays
  // readable on the receiver).
  std::string computer_name() override;
  // MessageBoxA without owner, caption "Tovik - Error", MB_ICONERROR; blocks
  // until closed.
  void show_error(const std::string& text) override;
  // MessageBoxA without owner, caption "Tovik", MB_ICONINFORMATION; blocks
  // until closed.
  void show_notice(const std::string& text) override;
  // Replaces the clipboard with `text` as CF_TEXT; silently nothing when the
  // clipboard is busy.
  void copy_to_clipboard(const std::string& text) override;
  // _time64.
  std::int64_t now_seconds() override;

 private:
  HWND clipboard_owner();

  MessageBoxFunction message_box_;
  HWND clipboard_owner_ = nullptr;
};
