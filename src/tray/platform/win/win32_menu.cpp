#include "tray/platform/win/win32_menu.h"

#include "tray/platform/win/win32_text.h"
#include "tray/tray_types.h"

namespace {

void append_owner_drawn_panel(HMENU menu) {
  MENUITEMINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = MIIM_ID | MIIM_FTYPE;
  info.fType = MFT_OWNERDRAW;
  info.wID = tray_command::kQrPanel;
  InsertMenuItemW(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &info);
}

// Menu texts are literal: a lone "&" would underline the next letter as the
// item's access key and vanish itself (a receiver named "Tom & Jerry").
std::wstring literal_menu_text(const std::string& utf8) {
  std::wstring text;
  for (wchar_t c : utf8_to_wide(utf8)) {
    if (c == L'&') text += L'&';
    text += c;
  }
  return text;
}

void append_item(HMENU menu, const MenuItem& item) {
  const std::wstring text = literal_menu_text(item.text);
  switch (item.kind) {
    case MenuItemKind::Separator:
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      break;
    case MenuItemKind::QrPanel:
      append_owner_drawn_panel(menu);
      break;
    case MenuItemKind::Submenu:
      AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(build_popup_menu(item.children)),
                  text.c_str());
      break;
    case MenuItemKind::Info:
    case MenuItemKind::Command:
      AppendMenuW(menu, MF_STRING | (item.checked ? MF_CHECKED : 0u),
                  static_cast<UINT_PTR>(item.id), text.c_str());
      break;
  }
}

}  // namespace

HMENU build_popup_menu(const MenuModel& model) {
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return nullptr;
  for (const MenuItem& item : model) append_item(menu, item);
  return menu;
}

void track_popup_menu(HWND owner, HMENU menu) {
  POINT at{};
  GetCursorPos(&at);
  // Without the foreground the menu would not close when the user clicks
  // elsewhere.
  SetForegroundWindow(owner);
  TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, owner, nullptr);
  // The documented companion of SetForegroundWindow for notification-icon
  // menus: lets the next click on the icon open the menu again at once.
  PostMessageW(owner, WM_NULL, 0, 0);
}
