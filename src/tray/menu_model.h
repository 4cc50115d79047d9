#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tray/tray_types.h"

enum class MenuItemKind {
  Info,       // a text line with id 0; choosing it does nothing
  Command,    // a text item whose id is a tray_command
  Separator,  // no text, id 0
  Submenu,    // text plus `children`
  QrPanel,    // the owner-drawn QR item, id tray_command::kQrPanel
};

// One menu line. `text` is valid UTF-8, ready for the host to convert.
struct MenuItem {
  MenuItemKind kind = MenuItemKind::Info;
  std::string text;
  int id = 0;
  bool checked = false;
  std::vector<MenuItem> children;
};

using MenuModel = std::vector<MenuItem>;

constexpr std::string_view kAutostartLabelWindows = "Start with Windows";
constexpr std::string_view kAutostartLabelLogin = "Start at login";

// What differs between the platforms' menus.
struct MenuOptions {
  std::string autostart_label = std::string(kAutostartLabelWindows);  // item 2014
};

// The popup menu for a display-state snapshot, top item first.
MenuModel build_menu_model(const TraySnapshot& snapshot, const MenuOptions& options = {});

// Six bytes show as "123 456"; other lengths show whole; empty stays empty.
// Text that is not valid UTF-8 (whole or after the split) becomes empty.
std::string format_pairing_code(std::string_view code);
