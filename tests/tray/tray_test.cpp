// The tray's logic behind the host interface: texts, menus, tooltip, command
// routing and the QR item's geometry, with a recording host.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "menu_text.h"
#include "tray/recording_tray_host.h"
#include "tray/tooltip.h"
#include "tray/tray_icon.h"

namespace {

struct Fixture {
  explicit Fixture(bool create_succeeds = true) {
    auto owned = std::make_unique<RecordingTrayHost>(create_succeeds);
    host = owned.get();
    host->set_on_destroy([this] { ++destroyed; });
    tray = std::make_unique<TrayIcon>(std::move(owned));
  }
  RecordingTrayHost* host;
  int destroyed = 0;
  std::unique_ptr<TrayIcon> tray;
};

// The menu of a snapshot as one line.
std::string menu(const char* status, const char* peer, const char* code, int rtt, int kbps,
                 bool paused, int quality, bool autostart, bool login = false) {
  TraySnapshot s;
  s.status_text = status, s.peer_name = peer, s.pairing_code = code;
  s.rtt_ms = rtt, s.bitrate_kbps = kbps, s.paused = paused;
  s.settings.quality = static_cast<AudioQuality>(quality);
  s.settings.start_with_windows = autostart;
  MenuOptions options;
  if (login) options.autostart_label = std::string(kAutostartLabelLogin);
  return test::describe_menu(build_menu_model(s, options));
}

}  // namespace

TEST(Tooltip, ComposesStatusAndPeerCutAt127UnitsWithoutSplittingAPairAndDropsBadUtf8) {
  const std::u16string t = u"Tovik \u2014 ";
  std::string notes;  // U+1F3B5, two UTF-16 units each
  for (int i = 0; i < 60; ++i) notes += "\xF0\x9F\x8E\xB5";
  EXPECT_EQ(compose_tooltip("Searching...", "", true), t + u"Searching...");  // paused: only
  EXPECT_EQ(compose_tooltip("Connected", "", true), t + u"Paused");           // when connected
  EXPECT_EQ(compose_tooltip("Connected", "K\xC3\xBC\xE2\x80\x94"),
            t + u"Connected (K\u00FC\u2014)");
  EXPECT_EQ(compose_tooltip("Connected", std::string(107, 'y')),
            t + u"Connected (" + std::u16string(107, u'y') + u")");  // exactly 127
  EXPECT_EQ(compose_tooltip("Connected", std::string(200, 'x')),
            t + u"Connected (" + std::u16string(108, u'x'));
  EXPECT_EQ(compose_tooltip("Connected", notes).size(), 127u);        // 54 whole notes
  EXPECT_EQ(compose_tooltip("Connected", "a" + notes).size(), 126u);  // would split a note
  // Overlong, surrogate, beyond U+10FFFF, stray, truncated: the text adds nothing.
  for (const char* bad : {"\xFF", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                          "\xC3", "abc\xE2\x80", "\x80"}) {
    EXPECT_EQ(compose_tooltip(bad, bad), t + u" ()") << bad;
  }
}

TEST(MenuModel, EveryStateGivesItsExactMenu) {
  auto quality = [](const char* label, int checked) {
    std::string out = std::string("Quality: ") + label;
    const char* items[] = {"{Auto#2010", "|256 kbps#2011", "|128 kbps#2012", "|64 kbps#2013"};
    for (int i = 0; i < 4; ++i) out += items[i] + std::string(i == checked ? "*" : "");
    return out + "}|";
  };
  const std::string connected = "tovik \u2014 Connected|Connected to: ";
  const std::string code = "Pairing Code: 123 456|[QR#2030]|Copy Pairing Code#2020|---|";
  const std::string none = "tovik \u2014 No Receiver|---|", quit = "|---|Quit Tovik#2006";
  EXPECT_EQ(menu("Connected", "Kitchen", "123456", 12, 128, false, 1, true),
            connected +
                "Kitchen|LAN \u00B7 P2P \u00B7 12ms \u00B7 128kbps|---|\u25CF Streaming|"
                "Pause#2007|Disconnect#2004|---|" +
                code + quality("256k", 1) + "Start with Windows#2014*" + quit);
  EXPECT_EQ(menu("Connected", "Bad\xFF", "123456", 0, 96, true, 0, false),
            connected +
                "|LAN \u00B7 P2P \u00B7 96kbps|---|\u25CB Paused|Resume#2007|"
                "Disconnect#2004|---|" +
                code + quality("Auto", 0) + "Start with Windows#2014" + quit);
  EXPECT_EQ(menu("Searching...", "Kitchen", "12345", 7, 7, true, 2, true, true),
            none + "Pairing Code: 12345|[QR#2030]|Copy Pairing Code#2020|---|" +
                quality("128k", 2) + "Start at login#2014*" + quit);
  EXPECT_EQ(menu("connected", "", "", 0, 0, false, 3, false),  // only the exact word counts
            none + quality("64k", 3) + "Start with Windows#2014" + quit);
  // Seven digits show whole; invalid UTF-8, also once split, shows nothing.
  EXPECT_EQ(format_pairing_code("1234567") + "|" + format_pairing_code("12\xFF") + "|" +
                format_pairing_code("\xC3\xA9\xC3\xA9\xC3\xA9"),
            "1234567||");
}

TEST(TrayIcon, HandsItsStateToTheHostAndShowsNoticesOnlyWithAnIcon) {
  Fixture f;
  bool engine_paused = false;
  f.tray->set_paused_source([&engine_paused] { return engine_paused; });
  f.tray->set_pairing_code("123456");
  ASSERT_TRUE(f.tray->create({}));
  f.tray->set_status("Connected", "Phone");
  f.tray->set_link_stats(12, 0);
  f.tray->set_status("Connected", "Phone");  // staying connected keeps the figures
  engine_paused = true;
  f.tray->update_tooltip();
  f.tray->show_menu();
  f.tray->show_notice("Refused \xE2\x80\x94 wrong code");
  f.tray->set_status("Reconnecting...", "");
  const RecordingTrayHost::Record r = f.host->record();
  const std::u16string t = u"Tovik \u2014 ";
  EXPECT_EQ(r.tooltips, (std::vector<std::u16string>{
                            t + u"Disconnected", t + u"Connected (Phone)", t + u"Connected (Phone)",
                            t + u"Paused (Phone)", t + u"Reconnecting..."}));
  EXPECT_EQ(r.notices, std::vector<std::u16string>{u"Refused \u2014 wrong code"});
  ASSERT_EQ(r.menus.size(), 1u);
  EXPECT_NE(
      test::describe_menu(r.menus[0]).find("Phone|LAN \u00B7 P2P \u00B7 12ms|---|\u25CB Paused"),
      std::string::npos);
  const TraySnapshot s = f.tray->snapshot();  // leaving Connected clears the figures
  EXPECT_EQ(std::make_tuple(s.rtt_ms, s.bitrate_kbps, s.paused), std::make_tuple(0, 0, true));
  EXPECT_EQ(f.tray->qr_panel_layout({0, 0, 200, 88}, 96, 96).text, "123 456");
  f.tray.reset();
  EXPECT_EQ(f.destroyed, 1);

  Fixture failed(false);  // touches no icon afterwards
  EXPECT_FALSE(failed.tray->create({}));
  failed.tray->set_status("Connected", "Phone");
  failed.tray->show_notice("x");
  const RecordingTrayHost::Record none = failed.host->record();
  failed.tray.reset();
  EXPECT_EQ(none.tooltips.size() + none.notices.size() + failed.destroyed, 0u);
}

TEST(TrayIcon, CommandsReachTheirSlotsTogglesNegateTheLatestSettingsAndQuitQuits) {
  Fixture f, bare;
  std::string calls;
  auto log = [&calls](const char* what) { return [&calls, what] { calls += what; }; };
  TrayCallbacks cb{log("quit "), log("disconnect "), log("pause "), nullptr, nullptr,
                   nullptr,      log("copy ")};
  cb.on_quality = [&calls](AudioQuality q) { calls += "q" + std::to_string(int(q)) + " "; };
  cb.on_smart_volume = [&calls](bool on) { calls += on ? "smart+ " : "smart- "; };
  cb.on_start_with_windows = [&calls, &f](bool on) {
    calls += on ? "auto+ " : "auto- ";
    AppSettings s = f.tray->snapshot().settings;
    s.start_with_windows = on;
    f.tray->set_settings(s);  // the shell reports back from inside the callback
  };
  f.tray->set_settings({AudioQuality::Auto, false, /*smart_volume=*/true});
  ASSERT_TRUE(f.tray->create(cb) && bare.tray->create({}));
  f.host->set_on_run([&bare](TrayHostSink& sink) {
    for (int id : {2004, 2007, 2010, 2011, 2012, 2013, 2014, 2014, 2015, 2020, 2006}) {
      EXPECT_TRUE(sink.dispatch_command(id) && bare.tray->dispatch_command(id)) << id;
    }
    for (int id : {0, 2003, 2005, 2008, 2009, 2016, 2019, 2021, 2030, 0x10000 + 2004}) {
      EXPECT_FALSE(sink.dispatch_command(id)) << id;
    }
  });
  f.tray->run_message_loop();
  EXPECT_EQ(calls, "disconnect pause q0 q1 q2 q3 auto+ auto- smart- copy quit ");
  EXPECT_EQ(f.host->record().quit_calls, 1);
  EXPECT_EQ(bare.host->record().quit_calls, 1) << "Quit quits even without a callback";
}

TEST(TrayIcon, ConcurrentStatusReportsLeaveTheLastComposedTooltipShown) {
  Fixture f;
  ASSERT_TRUE(f.tray->create({}));
  auto report = [&f](const char* peer) {
    for (int i = 0; i < 200; ++i) f.tray->set_status(i % 2 ? "Connected" : "Searching", peer);
  };
  std::thread a(report, "A"), b(report, "B");
  for (int i = 0; i < 200; ++i)
    f.tray->set_link_stats(i, static_cast<int>(f.tray->menu_model().size()));
  a.join();
  b.join();
  const TraySnapshot s = f.tray->snapshot();
  EXPECT_EQ(f.host->record().tooltips.size(), 401u);
  EXPECT_EQ(f.host->record().tooltips.back(), compose_tooltip(s.status_text, s.peer_name));
}

TEST(QrPanel, GeometryFollowsEachAxisResolutionAndMulDivRoundsLikeWin32) {
  // dpi; item size; module and symbol origin; white square; text box; font.
  const std::vector<int> cases[] = {
      {96, 200, 88, 3, 30, 62, 27, 59, 96, 128, 108, 50, 194, 138, 28},
      {144, 300, 132, 5, 40, 63, 35, 58, 150, 173, 168, 50, 286, 182, 42},
      {120, 250, 110, 4, 35, 63, 31, 59, 123, 151, 138, 50, 240, 160, 35},  // 100 / 21 is 4
  };
  for (const std::vector<int>& c : cases) {
    const PixelSize size = qr_panel_item_size(c[0], c[0]);
    const QrPanelLayout l =
        layout_qr_panel({10, 50, 10 + size.width, 50 + size.height}, c[0], c[0], "654321");
    const PixelRect &w = l.white_square, &t = l.text_rect;
    EXPECT_EQ(c, (std::vector<int>{c[0], size.width, size.height, l.module_size, l.x0, l.y0, w.left,
                                   w.top, w.right, w.bottom, t.left, t.top, t.right, t.bottom,
                                   l.font_height}));
    EXPECT_EQ(l.text, "654 321");
  }
  const PixelSize mixed = qr_panel_item_size(120, 96);
  EXPECT_EQ(std::make_pair(mixed.width, mixed.height), std::make_pair(250, 88));
  for (const char* code : {"12345", "12a456"}) {  // no symbol: only the background
    const QrPanelLayout l = layout_qr_panel({0, 0, 200, 88}, 96, 96, code);
    EXPECT_TRUE(!l.has_symbol && l.dark_modules.empty() &&
                l.background == (PixelRect{0, 0, 200, 88}));
  }
  const int cases_mul_div[][4] = {
      {80, 120, 96, 100}, {1, 144, 96, 2},        {5, 1, 2, 3},
      {-5, 1, 2, -3},     {5, 1, -2, -3},         {7, 1, 3, 2},
      {1, 2, 0, -1},      {2147483647, 2, 1, -1}, {2147483647, 2, 2, 2147483647}};
  for (const auto& c : cases_mul_div)
    EXPECT_EQ(mul_div(c[0], c[1], c[2]), c[3]) << c[0] << "*" << c[1];
}
