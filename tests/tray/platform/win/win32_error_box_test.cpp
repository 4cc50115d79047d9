// The real error box: it appears with the caption and text and blocks until
// closed (here by a timer, which reads it first).
#include "app/shell/platform/win/win32_platform_services.h"

#include <gtest/gtest.h>

#include <string>

#include "gui_test_support.h"

namespace {

struct Found {
  HWND box = nullptr;
  std::string texts;  // the texts of its children, one per line
};

BOOL CALLBACK collect_text(HWND child, LPARAM found) {
  char text[256] = {};
  GetWindowTextA(child, text, sizeof text);
  reinterpret_cast<Found*>(found)->texts += std::string(text) + "\n";
  return TRUE;
}

BOOL CALLBACK find_box(HWND window, LPARAM found) {
  char caption[64] = {};
  GetWindowTextA(window, caption, sizeof caption);
  if (std::string(caption) != "Tovik - Error" || !IsWindowVisible(window)) return TRUE;
  reinterpret_cast<Found*>(found)->box = window;
  return FALSE;
}

TEST(Win32ErrorBox, ShowsTheTextUnderTheCaptionAndReturnsWhenClosed) {
  Win32PlatformServices services;
  Found found;
  const bool closed = gui_test::run_modal_with_poll(
      [&] { services.show_error("Failed to create tray icon"); },
      [&] {
        EnumThreadWindows(GetCurrentThreadId(), &find_box, reinterpret_cast<LPARAM>(&found));
        if (found.box == nullptr) return false;
        EnumChildWindows(found.box, &collect_text, reinterpret_cast<LPARAM>(&found));
        PostMessageW(found.box, WM_COMMAND, IDOK, 0);
        return true;
      },
      [] {});
  ASSERT_TRUE(closed) << "no box captioned \"Tovik - Error\" appeared";
  EXPECT_NE(found.texts.find("Failed to create tray icon\n"), std::string::npos) << found.texts;
  EXPECT_EQ(GetWindow(found.box, GW_OWNER), nullptr);
}

}  // namespace
