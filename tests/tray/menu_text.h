#pragma once

#include <string>

#include "tray/menu_model.h"

namespace test {

// A menu as one line, so a whole menu is compared at once: items joined by
// '|', "#id" after every item with an id, "*" when checked, "---" for a
// separator, "[QR#id]" for the owner-drawn item, "{...}" for a submenu.
inline std::string describe_menu(const MenuModel& menu) {
  std::string out;
  for (const MenuItem& item : menu) {
    if (!out.empty()) out += '|';
    out += item.kind == MenuItemKind::Separator ? "---"
           : item.kind == MenuItemKind::QrPanel ? "[QR"
                                                : item.text;
    if (item.id != 0 || item.kind == MenuItemKind::Command) out += "#" + std::to_string(item.id);
    if (item.kind == MenuItemKind::QrPanel) out += "]";
    if (item.checked) out += "*";
    if (item.kind == MenuItemKind::Submenu) out += "{" + describe_menu(item.children) + "}";
  }
  return out;
}

}  // namespace test
