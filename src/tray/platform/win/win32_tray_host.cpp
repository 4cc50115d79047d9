#include "tray/platform/win/win32_tray_host.h"

#include <cwchar>

#include "tray/platform/win/win32_menu.h"
#include "tray/platform/win/win32_qr_panel.h"
#include "tray/platform/win/win32_text.h"
#include "tray/tray_types.h"

namespace {

constexpr wchar_t kClassName[] = L"TovikTrayClass";
constexpr wchar_t kWindowTitle[] = L"Tovik";

// The live host; window_proc finds its object only through it.
Win32TrayHost* g_instance = nullptr;

template <typename Item>
bool is_qr_panel(const Item* item) {
  return item->CtlType == ODT_MENU && item->itemID == tray_command::kQrPanel;
}

}  // namespace

Win32TrayHost::Win32TrayHost(HINSTANCE module) : module_(module) {}

Win32TrayHost::~Win32TrayHost() {
  if (g_instance == this) g_instance = nullptr;
}

bool Win32TrayHost::create(TrayHostSink& sink, const std::u16string& tooltip) {
  sink_ = &sink;
  g_instance = this;
  if (!create_window()) return false;
  taskbar_created_ = RegisterWindowMessageW(L"TaskbarCreated");
  fill_icon_record(tooltip);
  add_icon();
  return true;
}

bool Win32TrayHost::create_window() {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.style = 0;
  window_class.lpfnWndProc = &Win32TrayHost::window_proc;
  window_class.hInstance = module_;
  window_class.lpszClassName = kClassName;
  RegisterClassExW(&window_class);  // fails harmlessly when already registered
  hwnd_ = CreateWindowExW(0, kClassName, kWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                          CW_USEDEFAULT, 0, 0, nullptr, nullptr, module_, nullptr);
  return hwnd_ != nullptr;
}

void Win32TrayHost::fill_icon_record(const std::u16string& tooltip) {
  std::lock_guard<std::mutex> lock(icon_mutex_);
  icon_ = NOTIFYICONDATAW{};
  icon_.cbSize = sizeof icon_;
  icon_.hWnd = hwnd_;
  icon_.uID = kIconId;
  icon_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  icon_.uCallbackMessage = kCallbackMessage;
  icon_.hIcon = LoadIconW(module_, MAKEINTRESOURCEW(kIconResource));
  wcsncpy_s(icon_.szTip, to_wide(tooltip).c_str(), _TRUNCATE);
}

void Win32TrayHost::add_icon() {
  std::lock_guard<std::mutex> lock(icon_mutex_);
  icon_added_ = Shell_NotifyIconW(NIM_ADD, &icon_) != FALSE;
}

void Win32TrayHost::destroy() {
  if (hwnd_ == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(icon_mutex_);
    Shell_NotifyIconW(NIM_DELETE, &icon_);
    icon_added_ = false;
  }
  DestroyWindow(hwnd_);  // WM_DESTROY posts one last quit message
  hwnd_ = nullptr;
  if (g_instance == this) g_instance = nullptr;
}

void Win32TrayHost::set_tooltip(const std::u16string& tooltip) {
  std::lock_guard<std::mutex> lock(icon_mutex_);
  wcsncpy_s(icon_.szTip, to_wide(tooltip).c_str(), _TRUNCATE);
  tip_accepted_ = Shell_NotifyIconW(NIM_MODIFY, &icon_) != FALSE;
}

void Win32TrayHost::show_notice(const std::u16string& title, const std::u16string& text) {
  {
    std::lock_guard<std::mutex> lock(notice_mutex_);
    notice_title_ = title;
    notice_text_ = text;
  }
  if (hwnd_ != nullptr) PostMessageW(hwnd_, kNoticeMessage, 0, 0);
}

void Win32TrayHost::show_pending_notice() {
  std::u16string title;
  std::u16string text;
  {
    std::lock_guard<std::mutex> lock(notice_mutex_);
    title.swap(notice_title_);
    text.swap(notice_text_);
  }
  if (text.empty()) return;  // shown already by an earlier message
  std::lock_guard<std::mutex> lock(icon_mutex_);
  icon_.uFlags |= NIF_INFO;
  icon_.dwInfoFlags = NIIF_WARNING;
  wcsncpy_s(icon_.szInfoTitle, to_wide(title).c_str(), _TRUNCATE);
  wcsncpy_s(icon_.szInfo, to_wide(text).c_str(), _TRUNCATE);
  notice_accepted_ = Shell_NotifyIconW(NIM_MODIFY, &icon_) != FALSE;
  // Later tooltip updates must not show the balloon again.
  icon_.uFlags &= ~NIF_INFO;
}

std::u16string Win32TrayHost::tip() const {
  std::lock_guard<std::mutex> lock(icon_mutex_);
  const wchar_t* tip = icon_.szTip;
  return std::u16string(tip, tip + wcsnlen(tip, ARRAYSIZE(icon_.szTip)));
}

void Win32TrayHost::show_menu(const MenuModel& model) {
  HMENU menu = build_popup_menu(model);
  if (menu == nullptr) return;
  track_popup_menu(hwnd_, menu);
  DestroyMenu(menu);
}

void Win32TrayHost::run_message_loop() {
  MSG message;
  // GetMessageW gives -1 only for a bad window handle, which a null filter
  // window cannot be; stopping on it keeps a broken queue from spinning.
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void Win32TrayHost::quit() { PostQuitMessage(0); }

LRESULT CALLBACK Win32TrayHost::window_proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (g_instance == nullptr) return DefWindowProcW(hwnd, message, wparam, lparam);
  return g_instance->handle(hwnd, message, wparam, lparam);
}

LRESULT Win32TrayHost::handle(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (!is_qr_panel(item)) break;
      draw_qr_panel(item->hDC, item->rcItem, *sink_);
      return 1;
    }
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
      if (!is_qr_panel(item)) break;
      const PixelSize size = measure_qr_panel(hwnd);
      item->itemWidth = static_cast<UINT>(size.width);
      item->itemHeight = static_cast<UINT>(size.height);
      return 1;
    }
    case WM_COMMAND:
      if (!sink_->dispatch_command(LOWORD(wparam))) break;
      return 0;
    case kCallbackMessage:
      return on_icon_event(lparam);
    case kNoticeMessage:
      show_pending_notice();
      return 0;
    default:
      // The taskbar was rebuilt (Explorer restarted): our icon is gone.
      if (message == taskbar_created_ && taskbar_created_ != 0) {
        add_icon();
        return 0;
      }
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

LRESULT Win32TrayHost::on_icon_event(LPARAM lparam) {
  const UINT event = LOWORD(lparam);
  if (event == WM_LBUTTONUP || event == WM_RBUTTONUP) sink_->show_menu();
  return 0;
}
