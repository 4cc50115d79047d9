// The Windows platform services against the real system calls (under wine in
// the cross build); the message box is replaced by a recorder so nothing blocks.
#include "app/shell/platform/win/win32_platform_services.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

std::string g_boxes;

int WINAPI record_box(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
  g_boxes += std::string(owner ? "owned " : "") + "[" + caption + "] " + text + " " +
             std::to_string(style) + "|";
  return IDOK;
}

std::string clipboard_text() {
  std::string text = "<none>";
  if (!OpenClipboard(nullptr)) return "<unopenable>";
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    text = static_cast<const char*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

}  // namespace

TEST(Win32PlatformServices, BoxesNameClipboardAndClockAreTheSystems) {
  {
    Win32PlatformServices services(&record_box);
    services.show_error("No audio output device found. Check your sound settings.");
    services.show_notice("Tovik is already running.");
    // MB_ICONERROR (0x10) and MB_ICONINFORMATION (0x40), each with the OK button alone.
    EXPECT_EQ(g_boxes,
              "[Tovik - Error] No audio output device found. Check your sound settings. 16|"
              "[Tovik] Tovik is already running. 64|");
    EXPECT_EQ(services.computer_name(), std::getenv("COMPUTERNAME"));
    const std::int64_t before = std::time(nullptr), now = services.now_seconds();
    EXPECT_TRUE(before <= now && now <= std::time(nullptr)) << now;
    services.copy_to_clipboard("123456");
    EXPECT_EQ(clipboard_text(), "123456");
    services.copy_to_clipboard("654321");
  }
  EXPECT_EQ(clipboard_text(), "654321");  // it stays when the services are gone
}
