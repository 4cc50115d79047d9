#pragma once

#include <windows.h>

#include <shellapi.h>  // after windows.h, which it needs

#include <atomic>
#include <mutex>
#include <string>

#include "tray/tray_host.h"

// The Win32 tray: a hidden top-level window of class "TovikTrayClass" that
// receives the notification icon's events, the popup menu and the owner-drawn
// QR item. At most one may be created at a time: window_proc reaches it
// through one process-wide pointer.
class Win32TrayHost : public TrayHost {
 public:
  static constexpr UINT kIconId = 1001;
  static constexpr UINT kCallbackMessage = WM_USER + 1;
  static constexpr UINT kNoticeMessage = WM_USER + 2;  // a notice waits in notice_
  static constexpr WORD kIconResource = 101;

  // `module` holds the icon resource 101 and owns the window class.
  explicit Win32TrayHost(HINSTANCE module);
  ~Win32TrayHost() override;  // forgets the instance pointer if it is still this host
  Win32TrayHost(const Win32TrayHost&) = delete;
  Win32TrayHost& operator=(const Win32TrayHost&) = delete;

  bool create(TrayHostSink& sink, const std::u16string& tooltip) override;
  void destroy() override;
  void set_tooltip(const std::u16string& tooltip) override;
  // Any thread: the notice is posted to the window, whose thread shows it as
  // the icon's balloon.
  void show_notice(const std::u16string& title, const std::u16string& text) override;
  void show_menu(const MenuModel& model) override;
  void run_message_loop() override;
  void quit() override;

  // The procedure of "TovikTrayClass"; DefWindowProcW while no host exists.
  static LRESULT CALLBACK window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  // The hidden window; null before create and after destroy.
  HWND window() const { return hwnd_; }
  // Whether the shell accepted the icon when it was last added.
  bool icon_added() const { return icon_added_; }
  // The tip in the icon record, and whether the shell accepted its last update.
  std::u16string tip() const;
  bool tip_accepted() const { return tip_accepted_; }
  // Whether the shell accepted the last balloon.
  bool notice_accepted() const { return notice_accepted_; }

 private:
  LRESULT handle(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT on_icon_event(LPARAM lparam);
  bool create_window();
  void fill_icon_record(const std::u16string& tooltip);
  void add_icon();
  void show_pending_notice();

  HINSTANCE module_;
  HWND hwnd_ = nullptr;
  TrayHostSink* sink_ = nullptr;
  UINT taskbar_created_ = 0;  // broadcast when Explorer (re)builds the taskbar

  // The icon record is shared with worker threads that update the tip; the
  // lock is held across each Shell_NotifyIconW call, which never waits for
  // this window's thread.
  mutable std::mutex icon_mutex_;
  NOTIFYICONDATAW icon_{};
  std::atomic<bool> icon_added_{false};
  std::atomic<bool> tip_accepted_{false};
  std::atomic<bool> notice_accepted_{false};

  std::mutex notice_mutex_;  // the latest notice, until the window's thread shows it
  std::u16string notice_title_;
  std::u16string notice_text_;
};
