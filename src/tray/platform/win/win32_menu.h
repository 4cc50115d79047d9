#pragma once

#include <windows.h>

#include "tray/menu_model.h"

// A native popup menu for `model`: string items (checked where marked),
// separators, the quality submenu and the owner-drawn QR item (id 2030,
// inserted by position). The caller destroys it with DestroyMenu, which also
// destroys the submenus.
HMENU build_popup_menu(const MenuModel& model);

// Shows `menu` at the pointer, owned by `owner`, and returns when it closes;
// the choice arrives at `owner` as WM_COMMAND.
void track_popup_menu(HWND owner, HMENU menu);
