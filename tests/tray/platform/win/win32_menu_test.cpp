// The native popup menu built from the menu model, and the menu really shown
// (closed again by a timer, since tracking blocks).
#include "tray/platform/win/win32_menu.h"

#include <gtest/gtest.h>

#include <string>

#include "gui_test_support.h"
#include "tray/menu_model.h"
#include "tray/platform/win/win32_tray_host.h"

namespace {

struct NativeItem {
  UINT type = 0;
  UINT state = 0;
  UINT id = 0;
  HMENU submenu = nullptr;
  std::wstring text;
};

NativeItem item_at(HMENU menu, int position) {
  NativeItem item;
  wchar_t text[128] = {};
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
  info.dwTypeData = text;
  info.cch = 127;
  EXPECT_TRUE(GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info)) << position;
  item.type = info.fType;
  item.state = info.fState;
  item.id = info.wID;
  item.submenu = info.hSubMenu;
  item.text = text;
  return item;
}

void expect_string(HMENU menu, int position, const std::wstring& text, UINT id,
                   bool checked = false) {
  const NativeItem item = item_at(menu, position);
  EXPECT_EQ(item.type, static_cast<UINT>(MFT_STRING)) << position;
  EXPECT_EQ(item.text, text) << position;
  EXPECT_EQ(item.id, id) << position;
  EXPECT_EQ((item.state & MFS_CHECKED) != 0, checked) << position;
  EXPECT_EQ(item.state & MFS_DISABLED, 0u) << position;
}

void expect_separator(HMENU menu, int position) {
  EXPECT_EQ(item_at(menu, position).type & MFT_SEPARATOR, static_cast<UINT>(MFT_SEPARATOR))
      << position;
}

TraySnapshot connected_snapshot() {
  TraySnapshot s;
  s.status_text = "Connected";
  s.peer_name = std::string("K\xC3\xBC") + "che";  // UTF-8 "Küche"
  s.pairing_code = "123456";
  s.rtt_ms = 12;
  s.bitrate_kbps = 128;
  s.paused = true;
  s.settings.quality = AudioQuality::Medium;
  s.settings.start_with_windows = true;
  return s;
}

TEST(Win32Menu, ConnectedMenuMatchesTheModelItemByItem) {
  HMENU menu = build_popup_menu(build_menu_model(connected_snapshot()));
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(GetMenuItemCount(menu), 16);
  expect_string(menu, 0, L"tovik \u2014 Connected", 0);
  expect_string(menu, 1, L"Connected to: K\u00FCche", 0);
  expect_string(menu, 2, L"LAN \u00B7 P2P \u00B7 12ms \u00B7 128kbps", 0);
  expect_separator(menu, 3);
  expect_string(menu, 4, L"\u25CB Paused", 0);
  expect_string(menu, 5, L"Resume", 2007);
  expect_string(menu, 6, L"Disconnect", 2004);
  expect_separator(menu, 7);
  expect_string(menu, 8, L"Pairing Code: 123 456", 0);
  const NativeItem panel = item_at(menu, 9);
  EXPECT_EQ(panel.type, static_cast<UINT>(MFT_OWNERDRAW));
  EXPECT_EQ(panel.id, 2030u);
  expect_string(menu, 10, L"Copy Pairing Code", 2020);
  expect_separator(menu, 11);

  const NativeItem quality = item_at(menu, 12);
  EXPECT_EQ(quality.text, L"Quality: 128k");
  ASSERT_NE(quality.submenu, nullptr);
  ASSERT_EQ(GetMenuItemCount(quality.submenu), 4);
  expect_string(quality.submenu, 0, L"Auto", 2010);
  expect_string(quality.submenu, 1, L"256 kbps", 2011);
  expect_string(quality.submenu, 2, L"128 kbps", 2012, true);
  expect_string(quality.submenu, 3, L"64 kbps", 2013);

  expect_string(menu, 13, L"Start with Windows", 2014, true);
  expect_separator(menu, 14);
  expect_string(menu, 15, L"Quit Tovik", 2006);
  EXPECT_TRUE(DestroyMenu(menu));
  EXPECT_FALSE(IsMenu(quality.submenu));  // destroyed with its parent
}

TEST(Win32Menu, WithoutCodeTheQualitySubmenuFollowsTheFirstSeparator) {
  TraySnapshot s;
  s.settings.quality = static_cast<AudioQuality>(7);
  HMENU menu = build_popup_menu(build_menu_model(s));
  ASSERT_EQ(GetMenuItemCount(menu), 6);
  expect_string(menu, 0, L"tovik \u2014 No Receiver", 0);
  expect_separator(menu, 1);
  const NativeItem quality = item_at(menu, 2);
  EXPECT_EQ(quality.text, L"Quality: Auto");
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(item_at(quality.submenu, i).state & MFS_CHECKED, 0u) << i;
  }
  expect_string(menu, 3, L"Start with Windows", 2014, false);
  DestroyMenu(menu);
}

// The menu opened through the icon as a user would: tracked, with the QR item
// measured and painted through the sink.
TEST(Win32MenuShown, ReleaseOnTheIconShowsTheMenuAndPaintsTheQrItem) {
  gui_test::RecordingSink sink;
  Win32TrayHost host(GetModuleHandleW(nullptr));
  TraySnapshot snapshot;
  snapshot.pairing_code = "123456";
  sink.on_show_menu = [&] { host.show_menu(build_menu_model(snapshot)); };
  ASSERT_TRUE(host.create(sink, u"Tovik"));
  HWND hwnd = host.window();
  HDC dc = GetDC(hwnd);
  const int dpi_y = GetDeviceCaps(dc, LOGPIXELSY);
  ReleaseDC(hwnd, dc);

  const bool closed = gui_test::run_modal_with_poll(
      [&] { SendMessageW(hwnd, Win32TrayHost::kCallbackMessage, 1001, WM_RBUTTONUP); },
      [&] {
        if (sink.layout_rects.empty()) return false;
        EndMenu();
        return true;
      },
      [] { EndMenu(); });
  EXPECT_TRUE(closed) << "the QR item was never painted";
  EXPECT_EQ(sink.show_menu_calls, 1);
  ASSERT_FALSE(sink.layout_rects.empty());
  const PixelRect item = sink.layout_rects.front();
  EXPECT_EQ(item.bottom - item.top, qr_panel_item_size(96, dpi_y).height);  // as measured
  EXPECT_EQ(sink.layout_dpis[1], dpi_y);
  EXPECT_TRUE(sink.commands.empty());  // closing chose nothing
  host.destroy();
  gui_test::take_quit_message();
}

}  // namespace
