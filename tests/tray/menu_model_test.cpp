#include "tray/menu_model.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "menu_text.h"

namespace {

const std::string kCode = "Pairing Code: 123 456|[QR#2030]|Copy Pairing Code#2020|---|";
const std::string kQualityAuto =
    "Quality: Auto{Auto#2010*|256 kbps#2011|128 kbps#2012|64 kbps#2013}|";
const std::string kTail = "Start with Windows#2014|---|Quit Tovik#2006";
const std::string kNoReceiver = "tovik \u2014 No Receiver|---|";
const std::string kStreaming = "---|\u25CF Streaming|Pause#2007|Disconnect#2004|---|";

TraySnapshot connected(const std::string& peer) {
  TraySnapshot s;
  s.status_text = "Connected";
  s.peer_name = peer;
  s.pairing_code = "123456";
  return s;
}

struct MenuCase {
  const char* name;
  std::function<void(TraySnapshot&)> change;  // applied to connected("Kitchen")
  std::string expected;
};

}  // namespace

TEST(MenuModel, EveryStateGivesItsExactMenu) {
  const MenuCase cases[] = {
      {"connected with figures", [](TraySnapshot& s) { s.rtt_ms = 12, s.bitrate_kbps = 128; },
       "tovik \u2014 Connected|Connected to: Kitchen|LAN \u00B7 P2P \u00B7 12ms \u00B7 128kbps|" +
           kStreaming + kCode + kQualityAuto + kTail},
      {"no figures, empty name", [](TraySnapshot& s) { s.peer_name.clear(); },
       "tovik \u2014 Connected|Connected to: |LAN \u00B7 P2P|" + kStreaming + kCode + kQualityAuto +
           kTail},
      {"only positive figures", [](TraySnapshot& s) { s.rtt_ms = -5, s.bitrate_kbps = 96; },
       "tovik \u2014 Connected|Connected to: Kitchen|LAN \u00B7 P2P \u00B7 96kbps|" + kStreaming +
           kCode + kQualityAuto + kTail},
      {"paused", [](TraySnapshot& s) { s.paused = true, s.rtt_ms = 25; },
       "tovik \u2014 Connected|Connected to: Kitchen|LAN \u00B7 P2P \u00B7 25ms|---|\u25CB "
       "Paused|Resume#2007|Disconnect#2004|---|" +
           kCode + kQualityAuto + kTail},
      {"a name that is not UTF-8", [](TraySnapshot& s) { s.peer_name = "Bad\xFF"; },
       "tovik \u2014 Connected|Connected to: |LAN \u00B7 P2P|" + kStreaming + kCode + kQualityAuto +
           kTail},
      {"searching", [](TraySnapshot& s) { s.status_text = "Searching..."; },
       kNoReceiver + kCode + kQualityAuto + kTail},
      {"only the exact word counts", [](TraySnapshot& s) { s.status_text = "connected"; },
       kNoReceiver + kCode + kQualityAuto + kTail},
      {"no code", [](TraySnapshot& s) { s.status_text = "", s.pairing_code.clear(); },
       kNoReceiver + kQualityAuto + kTail},
      {"five digits shown whole, still a QR item",
       [](TraySnapshot& s) { s.status_text = "Reconnecting...", s.pairing_code = "12345"; },
       kNoReceiver + "Pairing Code: 12345|[QR#2030]|Copy Pairing Code#2020|---|" + kQualityAuto +
           kTail},
      {"medium quality, autostart on",
       [](TraySnapshot& s) {
         s.status_text = "Disconnected";
         s.settings.quality = AudioQuality::Medium;
         s.settings.start_with_windows = true;
       },
       kNoReceiver + kCode +
           "Quality: 128k{Auto#2010|256 kbps#2011|128 kbps#2012*|64 kbps#2013}|Start with "
           "Windows#2014*|---|Quit Tovik#2006"},
      {"an unknown quality checks nothing",
       [](TraySnapshot& s) { s.status_text = "", s.settings.quality = AudioQuality(7); },
       kNoReceiver + kCode + "Quality: Auto{Auto#2010|256 kbps#2011|128 kbps#2012|64 kbps#2013}|" +
           kTail},
  };
  for (const MenuCase& c : cases) {
    TraySnapshot s = connected("Kitchen");
    c.change(s);
    EXPECT_EQ(test::describe_menu(build_menu_model(s)), c.expected) << c.name;
  }
}

TEST(MenuModel, KindsBytesAndThePlatformsAutostartLabel) {
  TraySnapshot s = connected(
      "K\xC3\xBC"
      "che");
  const MenuModel menu = build_menu_model(s);
  EXPECT_EQ(menu[0].kind, MenuItemKind::Info);
  EXPECT_EQ(menu[5].kind, MenuItemKind::Command);
  EXPECT_EQ(menu[12].kind, MenuItemKind::Submenu);
  // The UTF-8 bytes themselves: em dash, middle dot, black circle; names pass.
  EXPECT_EQ(menu[0].text, "tovik \xE2\x80\x94 Connected");
  EXPECT_EQ(menu[1].text,
            "Connected to: K\xC3\xBC"
            "che");
  EXPECT_EQ(menu[2].text, "LAN \xC2\xB7 P2P");
  EXPECT_EQ(menu[4].text, "\xE2\x97\x8F Streaming");
  s.settings.quality = AudioQuality::High;
  EXPECT_EQ(build_menu_model(s)[12].text, "Quality: 256k");
  s.settings.quality = AudioQuality::Low;
  MenuOptions login;
  login.autostart_label = std::string(kAutostartLabelLogin);
  std::string expected = test::describe_menu(build_menu_model(s));
  expected.replace(expected.find("Start with Windows"), 18, "Start at login");
  EXPECT_EQ(test::describe_menu(build_menu_model(s, login)), expected);
  EXPECT_NE(expected.find("Quality: 64k"), std::string::npos);
}

TEST(FormatPairingCode, GroupsSixBytesAndShowsOthersWhole) {
  const std::pair<const char*, const char*> cases[] = {
      {"123456", "123 456"},
      {"000000", "000 000"},
      {"12345", "12345"},
      {"1234567", "1234567"},
      {"", ""},
      {"12\xFF", ""},
      {"\xC3\xA9\xC3\xA9\xC3\xA9", ""},  // split inside a character
  };
  for (const auto& [code, shown] : cases) EXPECT_EQ(format_pairing_code(code), shown) << code;
}
