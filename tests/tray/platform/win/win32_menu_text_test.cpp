#include <gtest/gtest.h>

#include <string>

#include "tray/platform/win/win32_menu.h"

namespace {

std::wstring text_at(HMENU menu, UINT position) {
  wchar_t text[64] = {};
  GetMenuStringW(menu, position, text, 64, MF_BYPOSITION);
  return text;
}

}  // namespace

// A receiver named "Tom & Jerry" must not lose its "&" to an access key.
TEST(Win32MenuText, AmpersandsShowLiterally) {
  MenuItem sub{MenuItemKind::Submenu, "A&B", 0, false, {}};
  sub.children.push_back({MenuItemKind::Command, "x&&y", 2010, false, {}});
  const MenuModel model = {{MenuItemKind::Info, "Connected to: Tom & Jerry", 0, false, {}}, sub};
  HMENU menu = build_popup_menu(model);
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(text_at(menu, 0), L"Connected to: Tom && Jerry");
  EXPECT_EQ(text_at(menu, 1), L"A&&B");
  EXPECT_EQ(text_at(GetSubMenu(menu, 1), 0), L"x&&&&y");
  DestroyMenu(menu);
}
