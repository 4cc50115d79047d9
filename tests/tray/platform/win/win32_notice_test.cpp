// A refusal notice from a worker thread becomes the icon's balloon, shown by
// the window's own thread: the worker only posts and never waits.
#include <gtest/gtest.h>

#include <thread>

#include "gui_test_support.h"
#include "tray/platform/win/win32_tray_host.h"

TEST(Win32Notice, ANoticeFromAWorkerIsShownAsABalloonOnTheWindowsThread) {
  gui_test::RecordingSink sink;
  Win32TrayHost host(GetModuleHandleW(nullptr));
  ASSERT_TRUE(host.create(sink, u"Tovik"));
  std::thread([&] { host.show_notice(u"Tovik", u"Refused a connection: no pairing code"); }).join();
  EXPECT_FALSE(host.notice_accepted());
  MSG message;
  while (PeekMessageW(&message, host.window(), 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  EXPECT_TRUE(host.notice_accepted());
  host.destroy();
  gui_test::take_quit_message();
}
