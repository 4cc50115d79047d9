// The Windows platform services against the real system calls (under wine in
// the cross build); the message box is replaced by a recorder so nothing
// blocks. The clipboard is read back by the program's lab test.
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

}  // namespace

TEST(Win32PlatformServices, BoxesNameAndClockAreTheSystems) {
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
}
