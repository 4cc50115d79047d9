// The Win32 tray host against the real window manager and shell of the
// system (wine with a virtual X display in the cross build).
#include "tray/platform/win/win32_tray_host.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gui_test_support.h"
#include "tray/tray_icon.h"

namespace {

using gui_test::RecordingSink;
using gui_test::take_quit_message;

const std::u16string kInitialTip = u"Tovik \u2014 Disconnected";

// One created host for the routing cases (removing an icon costs wine two
// seconds); each case starts with a fresh recording sink.
class HostTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sink_ = new RecordingSink;
    host_ = new Win32TrayHost(GetModuleHandleW(nullptr));
    host_->create(*sink_, kInitialTip);
  }
  static void TearDownTestSuite() {
    host_->destroy();
    delete host_;
    delete sink_;
    take_quit_message();
  }
  void SetUp() override {
    ASSERT_NE(host_->window(), nullptr);
    *sink_ = RecordingSink{};
    hwnd_ = host_->window();
  }
  LRESULT send(UINT message, WPARAM wparam, LPARAM lparam) {
    return SendMessageW(hwnd_, message, wparam, lparam);
  }

  static RecordingSink* sink_;
  static Win32TrayHost* host_;
  HWND hwnd_ = nullptr;
};
RecordingSink* HostTest::sink_ = nullptr;
Win32TrayHost* HostTest::host_ = nullptr;

bool shell_holds_icon(HWND hwnd) {
  NOTIFYICONDATAW probe{};
  probe.cbSize = sizeof probe;
  probe.hWnd = hwnd;
  probe.uID = Win32TrayHost::kIconId;
  return Shell_NotifyIconW(NIM_MODIFY, &probe);
}

TEST(Win32TrayHostLifetime, AHiddenWindowWithTheIconUntilDestroyThenTheDefaultProcedure) {
  RecordingSink sink;
  auto host = std::make_unique<Win32TrayHost>(GetModuleHandleW(nullptr));
  ASSERT_TRUE(host->create(sink, kInitialTip));
  const HWND hwnd = host->window();
  EXPECT_EQ(FindWindowW(L"TovikTrayClass", L"Tovik"), hwnd);
  EXPECT_EQ(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
  EXPECT_FALSE(IsWindowVisible(hwnd));
  EXPECT_EQ(GetParent(hwnd), nullptr);
  EXPECT_TRUE(host->icon_added());
  EXPECT_EQ(host->tip(), kInitialTip);
  EXPECT_TRUE(shell_holds_icon(hwnd));
  host->destroy();
  EXPECT_FALSE(shell_holds_icon(hwnd));
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(host->window(), nullptr);
  EXPECT_TRUE(take_quit_message()) << "destroying the window posts the quit message";
  host.reset();
  // Without a host the class's procedure routes nothing.
  HWND plain = CreateWindowExW(0, L"STATIC", L"plain", 0, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  EXPECT_EQ(Win32TrayHost::window_proc(plain, Win32TrayHost::kCallbackMessage, 1001, WM_LBUTTONUP),
            0);
  EXPECT_EQ(Win32TrayHost::window_proc(plain, WM_COMMAND, 2006, 0), 0);
  EXPECT_EQ(sink.show_menu_calls, 0);
  EXPECT_TRUE(sink.commands.empty());
  DestroyWindow(plain);
}

TEST_F(HostTest, ReleasesOpenTheMenuAndCommandsReachTheSinkByLowWord) {
  for (UINT event : {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONDBLCLK,
                     WM_RBUTTONDBLCLK, WM_MBUTTONUP}) {
    EXPECT_EQ(send(Win32TrayHost::kCallbackMessage, Win32TrayHost::kIconId, event), 0);
  }
  EXPECT_EQ(sink_->show_menu_calls, 0);
  send(Win32TrayHost::kCallbackMessage, Win32TrayHost::kIconId, WM_LBUTTONUP);
  send(Win32TrayHost::kCallbackMessage, 0, MAKELPARAM(WM_RBUTTONUP, 7));
  EXPECT_EQ(sink_->show_menu_calls, 2);
  EXPECT_EQ(send(WM_COMMAND, MAKEWPARAM(2004, 0), 0), 0);
  EXPECT_EQ(send(WM_COMMAND, MAKEWPARAM(2014, 1), 0), 0);
  EXPECT_EQ(send(WM_COMMAND, MAKEWPARAM(2005, 0), 0), 0);  // DefWindowProcW's 0
  EXPECT_EQ(sink_->commands, (std::vector<int>{2004, 2014, 2005}));
  EXPECT_FALSE(take_quit_message());
}

TEST_F(HostTest, OwnerDrawRequestsAreAnsweredOnlyForTheQrMenuItem) {
  MEASUREITEMSTRUCT measure{};
  measure.CtlType = ODT_MENU;
  measure.itemID = 2030;
  EXPECT_EQ(send(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure)), 1);
  HDC dc = GetDC(hwnd_);
  const PixelSize expected =
      qr_panel_item_size(GetDeviceCaps(dc, LOGPIXELSX), GetDeviceCaps(dc, LOGPIXELSY));
  ReleaseDC(hwnd_, dc);
  EXPECT_EQ(static_cast<int>(measure.itemWidth), expected.width);
  EXPECT_EQ(static_cast<int>(measure.itemHeight), expected.height);
  MEASUREITEMSTRUCT other_item = measure, other_control = measure;
  other_item.itemID = 2020;
  other_control.CtlType = ODT_BUTTON;
  for (MEASUREITEMSTRUCT* other : {&other_item, &other_control}) {
    other->itemWidth = 5;
    EXPECT_EQ(send(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(other)), 0);
    EXPECT_EQ(other->itemWidth, 5u);
  }
  gui_test::Canvas canvas(220, 100, RGB(255, 0, 255));
  DRAWITEMSTRUCT draw{};
  draw.CtlType = ODT_MENU;
  draw.itemID = 2031;
  draw.hDC = canvas.dc();
  draw.rcItem = RECT{0, 0, 200, 88};
  EXPECT_EQ(send(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw)), 0);
  EXPECT_TRUE(sink_->layout_rects.empty());
  draw.itemID = 2030;
  EXPECT_EQ(send(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw)), 1);
  ASSERT_EQ(sink_->layout_rects.size(), 1u);
  EXPECT_EQ(sink_->layout_rects[0], (PixelRect{0, 0, 200, 88}));
  EXPECT_NE(canvas.pixel(10, 10), RGB(255, 0, 255));  // the background was painted
}

TEST_F(HostTest, TheLoopRunsUntilQuitAndTheTipIsCutAt127Units) {
  PostMessageW(hwnd_, Win32TrayHost::kCallbackMessage, Win32TrayHost::kIconId, WM_RBUTTONUP);
  sink_->on_show_menu = [] { host_->quit(); };
  host_->run_message_loop();  // returns only through the quit posted from show_menu
  EXPECT_EQ(sink_->show_menu_calls, 1);
  host_->set_tooltip(u"Tovik \u2014 Connected (Kitchen)");
  EXPECT_TRUE(host_->tip_accepted());
  EXPECT_EQ(host_->tip(), u"Tovik \u2014 Connected (Kitchen)");
  host_->set_tooltip(std::u16string(200, u'x'));
  EXPECT_EQ(host_->tip(), std::u16string(127, u'x'));
}

TEST_F(HostTest, IconComesBackWhenTheTaskbarIsRebuilt) {
  NOTIFYICONDATAW gone{};
  gone.cbSize = sizeof gone;
  gone.hWnd = hwnd_;
  gone.uID = Win32TrayHost::kIconId;
  ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &gone));  // as if Explorer had restarted
  host_->set_tooltip(u"lost");
  EXPECT_FALSE(host_->tip_accepted());
  send(RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_TRUE(host_->icon_added());
  host_->set_tooltip(u"back");
  EXPECT_TRUE(host_->tip_accepted());
}

TEST(TrayIconOnWin32, StatusFromWorkerThreadsEndsAsTheLastComposedTipAndQuitEndsTheLoop) {
  auto owned = std::make_unique<Win32TrayHost>(GetModuleHandleW(nullptr));
  Win32TrayHost* host = owned.get();
  TrayIcon tray(std::move(owned));
  ASSERT_TRUE(tray.create(TrayCallbacks{}));
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t) {
    workers.emplace_back([&tray, t] {
      for (int i = 0; i < 25; ++i) tray.set_status("Connected", "peer " + std::to_string(t));
    });
  }
  for (auto& w : workers) w.join();
  EXPECT_EQ(host->tip(), tray.tooltip());
  EXPECT_TRUE(host->tip_accepted());
  PostMessageW(host->window(), WM_COMMAND, 2006, 0);
  tray.run_message_loop();  // returns only through Quit, with no callback set
}

}  // namespace
