#include "tray/menu_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

namespace cmd = tray_command;

std::vector<std::string> texts(const MenuModel& menu) {
  std::vector<std::string> out;
  for (const auto& item : menu) {
    out.push_back(item.kind == MenuItemKind::Separator ? "---"
                  : item.kind == MenuItemKind::QrPanel ? "[QR]"
                                                       : item.text);
  }
  return out;
}

TraySnapshot connected(std::string peer = "Kitchen") {
  TraySnapshot s;
  s.status_text = "Connected";
  s.peer_name = std::move(peer);
  s.pairing_code = "123456";
  return s;
}

const MenuItem& find_id(const MenuModel& menu, int id) {
  for (const auto& item : menu) {
    if (item.id == id) return item;
  }
  static MenuItem none;
  return none;
}

}  // namespace

TEST(MenuModel, ConnectedMenuListsEveryLineInOrder) {
  TraySnapshot s = connected();
  s.rtt_ms = 12;
  s.bitrate_kbps = 128;
  MenuModel menu = build_menu_model(s);
  std::vector<std::string> expected = {"tovik \u2014 Connected",
                                       "Connected to: Kitchen",
                                       "LAN \u00B7 P2P \u00B7 12ms \u00B7 128kbps",
                                       "---",
                                       "\u25CF Streaming",
                                       "Pause",
                                       "Disconnect",
                                       "---",
                                       "Pairing Code: 123 456",
                                       "[QR]",
                                       "Copy Pairing Code",
                                       "---",
                                       "Quality: Auto",
                                       "Start with Windows",
                                       "---",
                                       "Quit Tovik"};
  EXPECT_EQ(texts(menu), expected);
  std::vector<int> ids;
  for (const auto& item : menu) ids.push_back(item.id);
  EXPECT_EQ(ids,
            (std::vector<int>{0, 0, 0, 0, 0, 2007, 2004, 0, 0, 2030, 2020, 0, 0, 2014, 0, 2006}));
  EXPECT_EQ(menu[0].kind, MenuItemKind::Info);
  EXPECT_EQ(menu[5].kind, MenuItemKind::Command);
  EXPECT_EQ(menu[12].kind, MenuItemKind::Submenu);
  EXPECT_EQ(menu[9].kind, MenuItemKind::QrPanel);
  // The UTF-8 bytes themselves: em dash, middle dot, black circle.
  EXPECT_EQ(menu[0].text, "tovik \xE2\x80\x94 Connected");
  EXPECT_EQ(menu[2].text.substr(3, 4), " \xC2\xB7 ");
  EXPECT_EQ(menu[4].text, "\xE2\x97\x8F Streaming");
}

TEST(MenuModel, ConnectedWithEmptyNameAndNoFigures) {
  MenuModel menu = build_menu_model(connected(""));
  EXPECT_EQ(menu[0].text, "tovik \u2014 Connected");
  EXPECT_EQ(menu[1].text, "Connected to: ");
  EXPECT_EQ(menu[2].text, "LAN \u00B7 P2P");
}

TEST(MenuModel, LinkLineShowsOnlyPositiveFigures) {
  TraySnapshot s = connected();
  s.bitrate_kbps = 96;
  EXPECT_EQ(build_menu_model(s)[2].text, "LAN \u00B7 P2P \u00B7 96kbps");
  s.rtt_ms = 25;
  s.bitrate_kbps = 0;
  EXPECT_EQ(build_menu_model(s)[2].text, "LAN \u00B7 P2P \u00B7 25ms");
  s.rtt_ms = -5;
  s.bitrate_kbps = -1;
  EXPECT_EQ(build_menu_model(s)[2].text, "LAN \u00B7 P2P");
}

TEST(MenuModel, OnlyTheExactNineBytesConnectedCountAsConnected) {
  for (const char* status : {"connected", "Connected ", "Searching...", "Reconnecting...", ""}) {
    TraySnapshot s = connected();
    s.status_text = status;
    MenuModel menu = build_menu_model(s);
    EXPECT_EQ(menu[0].text, "tovik \u2014 No Receiver") << status;
    EXPECT_EQ(menu[1].kind, MenuItemKind::Separator) << status;
    EXPECT_EQ(menu[2].text, "Pairing Code: 123 456") << status;
    EXPECT_EQ(find_id(menu, cmd::kDisconnect).kind, MenuItemKind::Info) << "no Disconnect";
  }
}

TEST(MenuModel, EmptyCodeRemovesFourItems) {
  TraySnapshot with_code;
  with_code.pairing_code = "654321";
  TraySnapshot without_code;
  MenuModel a = build_menu_model(with_code);
  MenuModel b = build_menu_model(without_code);
  ASSERT_EQ(a.size(), b.size() + 4);
  EXPECT_EQ(texts(b), (std::vector<std::string>{"tovik \u2014 No Receiver", "---", "Quality: Auto",
                                                "Start with Windows", "---", "Quit Tovik"}));
}

TEST(MenuModel, FiveDigitCodeIsShownWholeAndStillGetsTheQrItem) {
  TraySnapshot s;
  s.pairing_code = "12345";
  MenuModel menu = build_menu_model(s);
  EXPECT_EQ(menu[2].text, "Pairing Code: 12345");
  EXPECT_EQ(menu[3].kind, MenuItemKind::QrPanel);
  EXPECT_EQ(menu[3].id, cmd::kQrPanel);
}

TEST(MenuModel, QualitySubmenuLabelAndChecks) {
  TraySnapshot s;
  s.settings.quality = AudioQuality::Medium;
  MenuItem sub = build_menu_model(s)[2];
  ASSERT_EQ(sub.kind, MenuItemKind::Submenu);
  EXPECT_EQ(sub.text, "Quality: 128k");
  ASSERT_EQ(sub.children.size(), 4u);
  std::vector<std::string> labels;
  for (const auto& child : sub.children) {
    labels.push_back(child.text);
    EXPECT_EQ(child.checked, child.id == cmd::kQualityMedium) << child.text;
  }
  EXPECT_EQ(labels, (std::vector<std::string>{"Auto", "256 kbps", "128 kbps", "64 kbps"}));
  EXPECT_EQ(sub.children[0].id, 2010);
  EXPECT_EQ(sub.children[3].id, 2013);

  s.settings.quality = static_cast<AudioQuality>(7);
  sub = build_menu_model(s)[2];
  EXPECT_EQ(sub.text, "Quality: Auto");
  for (const auto& child : sub.children) EXPECT_FALSE(child.checked) << child.text;
  s.settings.quality = AudioQuality::High;
  EXPECT_EQ(build_menu_model(s)[2].text, "Quality: 256k");
  s.settings.quality = AudioQuality::Low;
  EXPECT_EQ(build_menu_model(s)[2].text, "Quality: 64k");
}

TEST(MenuModel, PausedShowsHollowCircleAndResume) {
  TraySnapshot s = connected();
  s.paused = true;
  MenuModel menu = build_menu_model(s);
  EXPECT_EQ(menu[4].text, "\xE2\x97\x8B Paused");
  EXPECT_EQ(menu[5].text, "Resume");
  EXPECT_EQ(menu[5].id, cmd::kTogglePause);
}

TEST(MenuModel, AutostartItemCheckAndPerPlatformLabel) {
  TraySnapshot s;
  s.settings.start_with_windows = true;
  MenuModel menu = build_menu_model(s);
  const MenuItem& item = find_id(menu, cmd::kStartWithWindows);
  EXPECT_TRUE(item.checked);
  EXPECT_EQ(item.text, "Start with Windows");
  MenuOptions linux_options;
  linux_options.autostart_label = std::string(kAutostartLabelLogin);
  MenuModel linux_menu = build_menu_model(s, linux_options);
  EXPECT_EQ(find_id(linux_menu, cmd::kStartWithWindows).text, "Start at login");
  MenuModel windows_menu = build_menu_model(s);
  ASSERT_EQ(linux_menu.size(), windows_menu.size());
  for (std::size_t i = 0; i < linux_menu.size(); ++i) {
    if (linux_menu[i].id != cmd::kStartWithWindows) {
      EXPECT_EQ(linux_menu[i].text, windows_menu[i].text);
    }
  }
}

TEST(MenuModel, InvalidUtf8NamesShowAsEmpty) {
  MenuModel menu = build_menu_model(connected("Bad\xFF"));
  EXPECT_EQ(menu[1].text, "Connected to: ");
  menu =
      build_menu_model(connected("K\xC3\xBC"
                                 "che"));  // valid UTF-8 stays
  EXPECT_EQ(menu[1].text,
            "Connected to: K\xC3\xBC"
            "che");
}

TEST(FormatPairingCode, GroupsSixBytesAndShowsOthersWhole) {
  EXPECT_EQ(format_pairing_code("123456"), "123 456");
  EXPECT_EQ(format_pairing_code("000000"), "000 000");
  EXPECT_EQ(format_pairing_code("12345"), "12345");
  EXPECT_EQ(format_pairing_code("1234567"), "1234567");
  EXPECT_EQ(format_pairing_code(""), "");
  EXPECT_EQ(format_pairing_code("12\xFF"), "");
  EXPECT_EQ(format_pairing_code("\xC3\xA9\xC3\xA9\xC3\xA9"), "") << "split inside a character";
}
