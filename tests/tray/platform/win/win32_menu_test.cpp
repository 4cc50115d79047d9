// The native popup menu built from the menu model, and the menu really shown
// (closed again by a timer, since tracking blocks).
#include "tray/platform/win/win32_menu.h"

#include <gtest/gtest.h>

#include <string>

#include "../../menu_text.h"
#include "gui_test_support.h"
#include "tray/platform/win/win32_tray_host.h"

namespace {

// The native menu in the notation of test::describe_menu; a disabled item is marked.
std::string describe_native(HMENU menu) {
  std::string out;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    wchar_t text[128] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 127;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) return out + "|<unreadable>";
    if (!out.empty()) out += '|';
    if (info.fType & MFT_SEPARATOR) {
      out += "---";
      continue;
    }
    if (info.fState & MFS_DISABLED) out += "<disabled>";
    char utf8[512] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    out += (info.fType & MFT_OWNERDRAW) ? "[QR" : utf8;
    if (info.wID != 0 && info.hSubMenu == nullptr) out += "#" + std::to_string(info.wID);
    if (info.fType & MFT_OWNERDRAW) out += "]";
    if (info.fState & MFS_CHECKED) out += "*";
    if (info.hSubMenu != nullptr) out += "{" + describe_native(info.hSubMenu) + "}";
  }
  return out;
}

TEST(Win32Menu, EveryItemMatchesTheModel) {
  TraySnapshot connected;
  connected.status_text = "Connected";
  connected.peer_name = std::string("K\xC3\xBC") + "che";  // UTF-8 "Küche"
  connected.pairing_code = "123456";
  connected.rtt_ms = 12;
  connected.bitrate_kbps = 128;
  connected.paused = true;
  connected.settings.quality = AudioQuality::Medium;
  connected.settings.start_with_windows = true;
  TraySnapshot bare;
  bare.settings.quality = static_cast<AudioQuality>(7);
  for (const TraySnapshot& s : {connected, bare}) {
    const MenuModel model = build_menu_model(s);
    HMENU menu = build_popup_menu(model);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(describe_native(menu), test::describe_menu(model));
    EXPECT_TRUE(DestroyMenu(menu));
  }
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
