// The Windows platform services against the real system calls (under wine in
// the cross build); the message box is replaced by a recorder so nothing blocks.
#include "app/shell/platform/win/win32_platform_services.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

struct BoxCall {
  int calls = 0;
  HWND owner = reinterpret_cast<HWND>(1);
  std::string text;
  std::string caption;
  UINT style = 0;
};
BoxCall g_box;

int WINAPI record_box(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
  ++g_box.calls;
  g_box.owner = owner;
  g_box.text = text;
  g_box.caption = caption;
  g_box.style = style;
  return IDOK;
}

// The clipboard's CF_TEXT, or nullopt-like "<none>" when there is none.
std::string clipboard_text() {
  std::string text = "<none>";
  if (!OpenClipboard(nullptr)) return "<unopenable>";
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
      text = bytes;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

}  // namespace

TEST(Win32PlatformServices, ErrorBoxHasNoOwnerTheCaptionAndTheErrorIcon) {
  g_box = {};
  Win32PlatformServices services(&record_box);
  services.show_error("No audio output device found. Check your sound settings.");
  EXPECT_EQ(g_box.calls, 1);
  EXPECT_EQ(g_box.owner, nullptr);
  EXPECT_EQ(g_box.text, "No audio output device found. Check your sound settings.");
  EXPECT_EQ(g_box.caption, "Tovik - Error");
  EXPECT_EQ(g_box.style, 0x10u);  // MB_ICONERROR with the single OK button
}

TEST(Win32PlatformServices, ComputerNameIsTheSystemsName) {
  Win32PlatformServices services;
  const std::string name = services.computer_name();
  ASSERT_FALSE(name.empty());
  EXPECT_LT(name.size(), 256u);
  EXPECT_EQ(name.find('\0'), std::string::npos);
  const char* env = std::getenv("COMPUTERNAME");
  ASSERT_NE(env, nullptr);
  EXPECT_EQ(name, env);
}

TEST(Win32PlatformServices, CopiesTheCodeAsPlainTextAndReplacesEarlierContent) {
  Win32PlatformServices services;
  services.copy_to_clipboard("123456");
  EXPECT_EQ(clipboard_text(), "123456");
  services.copy_to_clipboard("654321");
  EXPECT_EQ(clipboard_text(), "654321");
  services.copy_to_clipboard("");
  EXPECT_EQ(clipboard_text(), "");
}

TEST(Win32PlatformServices, ClipboardKeepsTheTextAfterTheServicesAreGone) {
  {
    Win32PlatformServices services;
    services.copy_to_clipboard("000999");
  }
  EXPECT_EQ(clipboard_text(), "000999");
}

TEST(Win32PlatformServices, NowIsCalendarSecondsSince1970) {
  Win32PlatformServices services;
  const std::int64_t before = static_cast<std::int64_t>(std::time(nullptr));
  const std::int64_t now = services.now_seconds();
  const std::int64_t after = static_cast<std::int64_t>(std::time(nullptr));
  EXPECT_GE(now, before);
  EXPECT_LE(now, after);
  EXPECT_GT(now, 1577836800);  // after 2020-01-01
}
