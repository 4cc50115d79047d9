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

// A host of its own, for the cases that remove the icon or the window.
struct OwnHost {
  OwnHost() : host(GetModuleHandleW(nullptr)) { created = host.create(sink, kInitialTip); }
  ~OwnHost() {
    if (host.window() != nullptr) host.destroy();
    take_quit_message();
  }
  RecordingSink sink;
  Win32TrayHost host;
  bool created = false;
};

TEST_F(HostTest, HiddenWindowOfTheTrayClassNeverShown) {
  EXPECT_EQ(FindWindowW(L"TovikTrayClass", L"Tovik"), hwnd_);
  const LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE);
  EXPECT_EQ(style & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
  EXPECT_FALSE(IsWindowVisible(hwnd_));
  EXPECT_EQ(GetParent(hwnd_), nullptr);
  EXPECT_EQ(GetMenu(hwnd_), nullptr);

  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"TovikTrayClass", &window_class));
  EXPECT_EQ(window_class.style, 0u);
  EXPECT_EQ(window_class.lpfnWndProc, &Win32TrayHost::window_proc);
  EXPECT_EQ(window_class.cbClsExtra, 0);
  EXPECT_EQ(window_class.cbWndExtra, 0);
  EXPECT_EQ(window_class.hIcon, nullptr);
  EXPECT_EQ(window_class.hCursor, nullptr);
  EXPECT_EQ(window_class.hbrBackground, nullptr);
  EXPECT_EQ(window_class.lpszMenuName, nullptr);
}

TEST(Win32TrayHostLifetime, IconIsAddedWithTheInitialTipAndRemovedWithTheWindow) {
  OwnHost own;
  ASSERT_TRUE(own.created);
  HWND hwnd = own.host.window();
  EXPECT_TRUE(own.host.icon_added());
  EXPECT_EQ(own.host.tip(), kInitialTip);
  // The shell knows the icon: modifying it succeeds, and it is gone after destroy.
  NOTIFYICONDATAW probe{};
  probe.cbSize = sizeof probe;
  probe.hWnd = hwnd;
  probe.uID = Win32TrayHost::kIconId;
  EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &probe));
  own.host.destroy();
  EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &probe));
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(own.host.window(), nullptr);
  // Destroying the window posted the quit message that nobody reads.
  EXPECT_TRUE(take_quit_message());
}

TEST_F(HostTest, ButtonReleasesOpenTheMenuPressesMovesAndDoubleClicksDoNot) {
  for (UINT event : {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONDBLCLK,
                     WM_RBUTTONDBLCLK, WM_MBUTTONUP}) {
    EXPECT_EQ(send(Win32TrayHost::kCallbackMessage, Win32TrayHost::kIconId, event), 0);
  }
  EXPECT_EQ(sink_->show_menu_calls, 0);
  EXPECT_EQ(send(Win32TrayHost::kCallbackMessage, Win32TrayHost::kIconId, WM_LBUTTONUP), 0);
  EXPECT_EQ(sink_->show_menu_calls, 1);
  // Only the low word carries the mouse message.
  EXPECT_EQ(send(Win32TrayHost::kCallbackMessage, 0, MAKELPARAM(WM_RBUTTONUP, 7)), 0);
  EXPECT_EQ(sink_->show_menu_calls, 2);
}

TEST_F(HostTest, CommandsGoToTheSinkByLowWordAndUnknownOnesFallThrough) {
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

  MEASUREITEMSTRUCT other = measure;
  other.itemID = 2020;
  other.itemWidth = other.itemHeight = 5;
  EXPECT_EQ(send(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&other)), 0);
  EXPECT_EQ(other.itemWidth, 5u);
  MEASUREITEMSTRUCT control = measure;
  control.CtlType = ODT_BUTTON;
  EXPECT_EQ(send(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&control)), 0);

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

TEST_F(HostTest, OtherMessagesGetTheDefaultHandling) {
  EXPECT_TRUE(send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"renamed")));
  wchar_t title[32] = {};
  GetWindowTextW(hwnd_, title, 32);
  EXPECT_STREQ(title, L"renamed");
  send(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Tovik"));
}

TEST_F(HostTest, MessageLoopRunsUntilQuit) {
  PostMessageW(hwnd_, Win32TrayHost::kCallbackMessage, Win32TrayHost::kIconId, WM_RBUTTONUP);
  sink_->on_show_menu = [this] { host_->quit(); };
  host_->run_message_loop();  // returns only through the quit posted from show_menu
  EXPECT_EQ(sink_->show_menu_calls, 1);
}

TEST_F(HostTest, TooltipUpdatesReachTheShellAndAreCutAt127Units) {
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

TEST(Win32TrayHostWithoutInstance, WindowProcIsTheDefaultProcedure) {
  RecordingSink sink;
  HWND plain = CreateWindowExW(0, L"STATIC", L"plain", 0, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(plain, nullptr);
  {
    Win32TrayHost host(GetModuleHandleW(nullptr));
    ASSERT_TRUE(host.create(sink, kInitialTip));
    host.destroy();
  }
  take_quit_message();
  EXPECT_EQ(Win32TrayHost::window_proc(plain, Win32TrayHost::kCallbackMessage, 1001, WM_LBUTTONUP),
            0);
  EXPECT_EQ(Win32TrayHost::window_proc(plain, WM_COMMAND, 2006, 0), 0);
  EXPECT_EQ(Win32TrayHost::window_proc(plain, WM_DESTROY, 0, 0), 0);
  EXPECT_TRUE(
      Win32TrayHost::window_proc(plain, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"default")));
  EXPECT_EQ(sink.show_menu_calls, 0);
  EXPECT_TRUE(sink.commands.empty());
  EXPECT_FALSE(take_quit_message());
  wchar_t title[32] = {};
  GetWindowTextW(plain, title, 32);
  EXPECT_STREQ(title, L"default");
  DestroyWindow(plain);
}

TEST(Win32TrayHostWithoutInstance, HostThatNeverCreatedLeavesNoInstanceBehind) {
  RecordingSink sink;
  { Win32TrayHost never(GetModuleHandleW(nullptr)); }
  Win32TrayHost host(GetModuleHandleW(nullptr));
  ASSERT_TRUE(host.create(sink, kInitialTip));
  EXPECT_EQ(SendMessageW(host.window(), Win32TrayHost::kCallbackMessage, 1001, WM_LBUTTONUP), 0);
  EXPECT_EQ(sink.show_menu_calls, 1);
  host.destroy();
  take_quit_message();
}

// The whole tray on this host: state, tooltip, dispatch and the loop.
class TrayIconOnWin32 : public ::testing::Test {
 protected:
  void SetUp() override {
    auto host = std::make_unique<Win32TrayHost>(GetModuleHandleW(nullptr));
    host_ = host.get();
    tray_ = std::make_unique<TrayIcon>(std::move(host));
  }
  void TearDown() override {
    tray_.reset();
    take_quit_message();
  }
  Win32TrayHost* host_ = nullptr;
  std::unique_ptr<TrayIcon> tray_;
};

TEST_F(TrayIconOnWin32, QuitCommandEndsTheLoopEvenWithoutCallback) {
  ASSERT_TRUE(tray_->create(TrayCallbacks{}));
  EXPECT_EQ(host_->tip(), kInitialTip);
  PostMessageW(host_->window(), WM_COMMAND, 2006, 0);
  tray_->run_message_loop();
  SUCCEED();
}

TEST_F(TrayIconOnWin32, TogglesNegateTheStoredSettingsAndEmptySlotsDoNothing) {
  std::vector<bool> autostart;
  std::vector<bool> smart;
  TrayCallbacks callbacks;
  callbacks.on_start_with_windows = [&](bool v) { autostart.push_back(v); };
  callbacks.on_smart_volume = [&](bool v) { smart.push_back(v); };
  ASSERT_TRUE(tray_->create(callbacks));
  AppSettings settings;
  settings.start_with_windows = true;
  tray_->set_settings(settings);
  HWND hwnd = host_->window();
  EXPECT_EQ(SendMessageW(hwnd, WM_COMMAND, 2014, 0), 0);
  EXPECT_EQ(SendMessageW(hwnd, WM_COMMAND, 2015, 0), 0);
  EXPECT_EQ(SendMessageW(hwnd, WM_COMMAND, 2004, 0), 0);  // empty on_disconnect
  EXPECT_EQ(autostart, std::vector<bool>{false});
  EXPECT_EQ(smart, std::vector<bool>{true});
  EXPECT_FALSE(take_quit_message());
}

TEST_F(TrayIconOnWin32, StatusFromWorkerThreadsEndsAsTheLastComposedTip) {
  ASSERT_TRUE(tray_->create(TrayCallbacks{}));
  std::vector<std::thread> workers;
  for (int t = 0; t < 4; ++t) {
    workers.emplace_back([this, t] {
      for (int i = 0; i < 25; ++i) tray_->set_status("Connected", "peer " + std::to_string(t));
    });
  }
  for (auto& w : workers) w.join();
  EXPECT_EQ(host_->tip(), tray_->tooltip());
  EXPECT_TRUE(host_->tip_accepted());
  tray_->set_status("Searching...", "");
  EXPECT_EQ(host_->tip(), u"Tovik \u2014 Searching...");
}

}  // namespace
