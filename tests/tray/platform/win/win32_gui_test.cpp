// The Win32 tray host, its native menu and its QR item against the real
// window manager and shell (wine with a virtual X display).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "../../menu_text.h"
#include "../../panel_pixels.h"
#include "tray/platform/win/win32_menu.h"
#include "tray/platform/win/win32_qr_panel.h"
#include "tray/platform/win/win32_tray_host.h"

namespace {

constexpr COLORREF kUntouched = RGB(255, 0, 255);

// Logs what the host asks: "menu", "cmd <id>", "layout <dpi x>x<dpi y>".
struct Sink : TrayHostSink {
  mutable std::string log;
  mutable PixelRect asked{};
  void show_menu() override { log += "menu "; }
  bool dispatch_command(int id) override {
    log += "cmd " + std::to_string(id) + " ";
    return id != 2005;
  }
  QrPanelLayout qr_panel_layout(const PixelRect& item, int dpi_x, int dpi_y) const override {
    log += "layout " + std::to_string(dpi_x) + "x" + std::to_string(dpi_y) + " ", asked = item;
    return layout_qr_panel(item, dpi_x, dpi_y, "654321");
  }
};

// A memory DC painting into a 32-bit bitmap, at first all kUntouched.
struct Canvas {
  const int width, height;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap;
  Canvas(int w, int h) : width(w), height(h), bitmap(CreateBitmap(w, h, 1, 32, nullptr)) {
    SelectObject(dc, bitmap);
    const RECT all{0, 0, w, h};
    SetDCBrushColor(dc, kUntouched);
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
  }
  ~Canvas() {
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
};

// Asks the shell about (NIM_MODIFY) or removes (NIM_DELETE) the host's icon.
bool shell(DWORD message, HWND hwnd) {
  NOTIFYICONDATAW icon{};
  icon.cbSize = sizeof icon;
  icon.hWnd = hwnd;
  icon.uID = Win32TrayHost::kIconId;
  return Shell_NotifyIconW(message, &icon);
}

// The native menu in the notation of test::describe_menu; a disabled item is marked.
std::string describe_native(HMENU menu) {
  std::string out;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    wchar_t text[128] = {};
    char utf8[512] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    info.dwTypeData = text;
    info.cch = 127;
    GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    const bool separator = info.fType & MFT_SEPARATOR, panel = info.fType & MFT_OWNERDRAW;
    out += std::string(out.empty() ? "" : "|") + (separator ? "---" : "") +
           (info.fState & MFS_DISABLED && !separator ? "<disabled>" : "") + (panel ? "[QR" : utf8);
    if (info.wID != 0 && info.hSubMenu == nullptr) out += "#" + std::to_string(info.wID);
    out += std::string(panel ? "]" : "") + (info.fState & MFS_CHECKED ? "*" : "");
    if (info.hSubMenu != nullptr) out += "{" + describe_native(info.hSubMenu) + "}";
  }
  return out;
}

}  // namespace

TEST(Win32TrayHost, AHiddenWindowWhoseIconRoutesReleasesCommandsOwnerDrawTipsAndNotices) {
  Sink sink;
  auto host = std::make_unique<Win32TrayHost>(GetModuleHandleW(nullptr));
  ASSERT_TRUE(host->create(sink, u"Tovik \u2014 Disconnected"));
  const HWND hwnd = host->window();
  auto send = [hwnd](UINT message, WPARAM w, LPARAM l) {
    return SendMessageW(hwnd, message, w, l);
  };
  EXPECT_EQ(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_OVERLAPPEDWINDOW, WS_OVERLAPPEDWINDOW);
  EXPECT_FALSE(IsWindowVisible(hwnd) || GetParent(hwnd));
  EXPECT_TRUE(host->icon_added() && shell(NIM_MODIFY, hwnd));
  EXPECT_EQ(host->tip(), u"Tovik \u2014 Disconnected");

  // Only a release of either button opens the menu; commands go by the low word.
  for (UINT event : {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONDBLCLK,
                     WM_RBUTTONDBLCLK, WM_MBUTTONUP, WM_LBUTTONUP}) {
    EXPECT_EQ(send(Win32TrayHost::kCallbackMessage, Win32TrayHost::kIconId, event), 0);
  }
  send(Win32TrayHost::kCallbackMessage, 0, MAKELPARAM(WM_RBUTTONUP, 7));
  for (WPARAM command : {MAKEWPARAM(2004, 0), MAKEWPARAM(2014, 1), MAKEWPARAM(2005, 0)}) {
    EXPECT_EQ(send(WM_COMMAND, command, 0), 0);  // 2005: DefWindowProcW's 0
  }
  // Owner draw only for the QR menu item, sized and drawn for the display's
  // resolution (a memory DC has the screen's).
  Canvas canvas(220, 100);
  const int dpi_x = GetDeviceCaps(canvas.dc, LOGPIXELSX),
            dpi_y = GetDeviceCaps(canvas.dc, LOGPIXELSY);
  const PixelSize size = qr_panel_item_size(dpi_x, dpi_y);
  MEASUREITEMSTRUCT button{ODT_BUTTON, 0, 2030, 0, 0, 0}, measure{ODT_MENU, 0, 2030, 0, 0, 0};
  EXPECT_EQ(send(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&button)), 0);
  EXPECT_EQ(send(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure)), 1);
  EXPECT_EQ(std::make_pair(int(measure.itemWidth), int(measure.itemHeight)),
            std::make_pair(size.width, size.height));
  DRAWITEMSTRUCT draw{ODT_MENU, 0, 2031, 0, 0, nullptr, canvas.dc, RECT{3, 5, 203, 93}, 0};
  EXPECT_EQ(send(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw)), 0);
  draw.itemID = 2030;
  EXPECT_EQ(send(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw)), 1);
  EXPECT_NE(GetPixel(canvas.dc, 10, 10), kUntouched);
  EXPECT_EQ(sink.asked, (PixelRect{3, 5, 203, 93}));
  EXPECT_EQ(sink.log, "menu menu cmd 2004 cmd 2014 cmd 2005 layout " + std::to_string(dpi_x) + "x" +
                          std::to_string(dpi_y) + " ");

  // The loop dispatches what waits, then quits (WM_QUIT comes last).
  PostMessageW(hwnd, Win32TrayHost::kCallbackMessage, Win32TrayHost::kIconId, WM_RBUTTONUP);
  host->quit();
  host->run_message_loop();
  EXPECT_EQ(sink.log.substr(sink.log.size() - 5), "menu ");
  host->set_tooltip(u"Tovik \u2014 Connected (Kitchen)");
  EXPECT_TRUE(host->tip_accepted() && host->tip() == u"Tovik \u2014 Connected (Kitchen)");
  host->set_tooltip(std::u16string(200, u'x'));
  EXPECT_EQ(host->tip(), std::u16string(127, u'x'));
  // A notice from a worker is posted and shown as a balloon by this thread.
  std::thread([&host] { host->show_notice(u"Tovik", u"Refused a connection"); }).join();
  EXPECT_FALSE(host->notice_accepted());
  MSG message;
  while (PeekMessageW(&message, hwnd, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  EXPECT_TRUE(host->notice_accepted());

  ASSERT_TRUE(shell(NIM_DELETE, hwnd));  // as if Explorer had restarted
  host->set_tooltip(u"lost");
  EXPECT_FALSE(host->tip_accepted());
  send(RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  host->set_tooltip(u"back");
  EXPECT_TRUE(host->icon_added() && host->tip_accepted()) << "the icon comes back";

  host->destroy();
  EXPECT_FALSE(shell(NIM_MODIFY, hwnd) || IsWindow(hwnd) || host->window());
  EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "WM_DESTROY quits";
  EXPECT_EQ(Win32TrayHost::window_proc(nullptr, WM_COMMAND, 2006, 0), 0) << "no host: no routing";
}

TEST(Win32Menu, TheNativeMenuIsTheModelWithItsAmpersandsShownLiterally) {
  TraySnapshot connected;
  connected.status_text = "Connected", connected.peer_name = "K\u00FCche & Jerry";
  connected.pairing_code = "123456", connected.paused = true;
  connected.settings = {AudioQuality::Medium, true, false};
  for (const TraySnapshot& s : {connected, TraySnapshot{}}) {
    const MenuModel model = build_menu_model(s);
    std::string expected = test::describe_menu(model);
    if (expected.find('&') != std::string::npos) expected.replace(expected.find('&'), 1, "&&");
    HMENU menu = build_popup_menu(model);
    EXPECT_EQ(describe_native(menu), expected);
    EXPECT_TRUE(DestroyMenu(menu));
  }
}

TEST(Win32QrPanel, PaintsItsLayoutAtCommonResolutionsAndGivesTheDcItsFontBack) {
  for (int dpi : {96, 120, 144}) {
    const PixelSize size = qr_panel_item_size(dpi, dpi);
    Canvas canvas(size.width + 12, size.height + 8);
    const QrPanelLayout l =
        layout_qr_panel({6, 4, 6 + size.width, 4 + size.height}, dpi, dpi, "123456");
    paint_qr_panel(canvas.dc, l);
    auto pixel = [&canvas](int x, int y) { return unsigned(GetPixel(canvas.dc, x, y)); };
    EXPECT_EQ(test::describe_painted_panel(l, "123456", canvas.width, canvas.height, pixel,
                                           GetSysColor(COLOR_MENU), kUntouched),
              "0 pixels wrong, digits in place")
        << dpi;
    EXPECT_EQ(GetCurrentObject(canvas.dc, OBJ_FONT), GetStockObject(SYSTEM_FONT)) << "deselected";
  }
}
