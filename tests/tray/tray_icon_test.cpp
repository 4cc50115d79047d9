#include "tray/tray_icon.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "menu_text.h"
#include "tray/command_dispatch.h"
#include "tray/recording_tray_host.h"
#include "tray/tooltip.h"
#include "tray/utf8_text.h"

namespace {

// Callbacks that record which slot fired, with its argument.
TrayCallbacks recording_callbacks(std::vector<std::string>& calls) {
  TrayCallbacks cb;
  cb.on_quit = [&calls] { calls.push_back("quit"); };
  cb.on_disconnect = [&calls] { calls.push_back("disconnect"); };
  cb.on_toggle_pause = [&calls] { calls.push_back("pause"); };
  cb.on_quality = [&calls](AudioQuality q) {
    calls.push_back("quality " + std::to_string(static_cast<int>(q)));
  };
  cb.on_start_with_windows = [&calls](bool on) { calls.push_back(on ? "auto on" : "auto off"); };
  cb.on_smart_volume = [&calls](bool on) { calls.push_back(on ? "smart on" : "smart off"); };
  cb.on_copy_pairing_code = [&calls] { calls.push_back("copy"); };
  return cb;
}

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

}  // namespace

TEST(Utf8Text, ConvertsValidTextAndRejectsMalformedInput) {
  EXPECT_EQ(utf8_to_utf16(""), u"");
  EXPECT_EQ(utf8_to_utf16("K\xC3\xBC\xE2\x80\x94"), u"K\u00FC\u2014");
  EXPECT_EQ(utf8_to_utf16("\xF0\x9F\x8E\xB5"), u"\U0001F3B5");  // a surrogate pair
  for (const char* bad : {"\xFF", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                          "\xC3", "abc\xE2\x80", "\x80"}) {
    EXPECT_FALSE(utf8_to_utf16(bad).has_value()) << bad;
    EXPECT_EQ(utf8_to_utf16_or_empty(bad), u"");
  }
}

TEST(Tooltip, ComposesPrefixStatusAndPeerCutAt127Units) {
  const struct {
    std::string status, peer;
    std::u16string tip;
  } cases[] = {
      {"Searching...", "", u"Tovik \u2014 Searching..."},
      {"Connected", "Kitchen", u"Tovik \u2014 Connected (Kitchen)"},
      {"", "", u"Tovik \u2014 "},
      {"Bad\xFF", "", u"Tovik \u2014 "},
      {"Connected", "\xC3", u"Tovik \u2014 Connected ()"},  // the name adds nothing
      {"Connected", std::string(107, 'y'),
       u"Tovik \u2014 Connected (" + std::u16string(107, u'y') + u")"},  // exactly 127
      {"Connected", std::string(200, 'x'),
       u"Tovik \u2014 Connected (" + std::u16string(108, u'x')},  // cut in the name
  };
  for (const auto& c : cases) EXPECT_EQ(compose_tooltip(c.status, c.peer), c.tip) << c.peer;
}

TEST(TrayIcon, ShowsAndRemovesTheIconAndHandsItsStateToTheHost) {
  Fixture f;
  MenuOptions options;
  f.tray->set_pairing_code("123456");
  ASSERT_TRUE(f.tray->create({}));
  f.tray->set_status("Searching...", "");
  f.tray->show_menu();
  f.tray->set_status("Connected", "Phone");
  f.tray->show_menu();
  const RecordingTrayHost::Record r = f.host->record();
  EXPECT_EQ(r.tooltips,
            (std::vector<std::u16string>{u"Tovik \u2014 Disconnected", u"Tovik \u2014 Searching...",
                                         u"Tovik \u2014 Connected (Phone)"}));
  ASSERT_EQ(r.menus.size(), 2u);
  EXPECT_EQ(test::describe_menu(r.menus[1]),
            test::describe_menu(build_menu_model(f.tray->snapshot(), options)));
  EXPECT_NE(test::describe_menu(r.menus[0]), test::describe_menu(r.menus[1]));
  EXPECT_EQ(f.tray->qr_panel_layout({0, 0, 200, 88}, 96, 96).text, "123 456");
  EXPECT_EQ(f.destroyed, 0);
  f.tray.reset();
  EXPECT_EQ(f.destroyed, 1);
}

TEST(TrayIcon, AFailedCreateTouchesNoIconAfterwards) {
  Fixture f(false);
  EXPECT_FALSE(f.tray->create({}));
  f.tray->set_status("Connected", "Phone");
  EXPECT_TRUE(f.host->record().tooltips.empty());
  EXPECT_EQ(f.tray->tooltip(), u"Tovik \u2014 Connected (Phone)");
  f.tray.reset();
  EXPECT_EQ(f.destroyed, 0);
}

TEST(TrayIcon, LeavingConnectedClearsFiguresButPauseIsTheEngines) {
  Fixture f;
  bool engine_paused = true;
  f.tray->set_paused_source([&engine_paused] { return engine_paused; });
  f.tray->set_status("Connected", "");
  f.tray->set_link_stats(12, 128);
  f.tray->set_status("Connected", "");  // staying connected keeps them
  TraySnapshot s = f.tray->snapshot();
  EXPECT_EQ(std::make_tuple(s.rtt_ms, s.bitrate_kbps, s.paused), std::make_tuple(12, 128, true));
  EXPECT_EQ(f.tray->tooltip(), u"Tovik \u2014 Paused");
  f.tray->set_status("Reconnecting...", "");
  s = f.tray->snapshot();
  EXPECT_EQ(std::make_tuple(s.rtt_ms, s.bitrate_kbps, s.paused), std::make_tuple(0, 0, true));
  engine_paused = false;
  EXPECT_FALSE(f.tray->snapshot().paused);
  Fixture unsourced;
  EXPECT_FALSE(unsourced.tray->snapshot().paused) << "no source: never paused";
}

TEST(CommandDispatch, EachIdReachesItsSlotAndTogglesNegateTheStoredFlags) {
  std::vector<std::string> calls;
  const TrayCallbacks cb = recording_callbacks(calls);
  AppSettings settings;
  settings.start_with_windows = true;
  for (int id : {2004, 2007, 2010, 2011, 2012, 2013, 2014, 2015, 2020}) {
    EXPECT_EQ(dispatch_command(id, cb, settings), CommandResult::Handled) << id;
  }
  EXPECT_EQ(dispatch_command(2006, cb, settings), CommandResult::Quit);
  for (int id : {0, 2003, 2005, 2008, 2009, 2016, 2019, 2021, 2030, 0x10000 + 2004}) {
    EXPECT_EQ(dispatch_command(id, cb, settings), CommandResult::NotHandled) << id;
  }
  EXPECT_EQ(calls,
            (std::vector<std::string>{"disconnect", "pause", "quality 0", "quality 1", "quality 2",
                                      "quality 3", "auto off", "smart on", "copy", "quit"}));
  for (int id : {2004, 2007, 2010, 2014, 2015, 2020}) {
    EXPECT_EQ(dispatch_command(id, TrayCallbacks{}, settings), CommandResult::Handled) << id;
  }
  EXPECT_EQ(dispatch_command(2006, TrayCallbacks{}, settings), CommandResult::Quit);
}

TEST(TrayIcon, HostChoicesUseTheLatestSettingsAndQuitEndsTheLoopEvenWithoutSlot) {
  Fixture f;
  std::vector<std::string> calls;
  TrayCallbacks cb = recording_callbacks(calls);
  TrayIcon* tray = f.tray.get();
  cb.on_start_with_windows = [&calls, tray](bool on) {
    calls.push_back(on ? "auto on" : "auto off");
    AppSettings s = tray->snapshot().settings;
    s.start_with_windows = on;
    tray->set_settings(s);  // the shell reports back from inside the callback
  };
  ASSERT_TRUE(f.tray->create(cb));
  f.host->set_on_run([](TrayHostSink& sink) {
    EXPECT_TRUE(sink.dispatch_command(2014));
    EXPECT_TRUE(sink.dispatch_command(2014));
    EXPECT_FALSE(sink.dispatch_command(2005));
    EXPECT_TRUE(sink.dispatch_command(2006));
  });
  f.tray->run_message_loop();
  EXPECT_EQ(calls, (std::vector<std::string>{"auto on", "auto off", "quit"}));
  EXPECT_EQ(f.host->record().quit_calls, 1);

  Fixture bare;
  ASSERT_TRUE(bare.tray->create({}));
  EXPECT_TRUE(bare.tray->dispatch_command(2006));
  EXPECT_EQ(bare.host->record().quit_calls, 1);
}

TEST(TrayIcon, ConcurrentStatusReportsLeaveTheLastComposedTooltipShown) {
  Fixture f;
  ASSERT_TRUE(f.tray->create({}));
  auto report = [&](const std::string& peer) {
    for (int i = 0; i < 200; ++i) {
      f.tray->set_status(i % 2 ? "Connected" : "Searching...", peer);
      f.tray->set_link_stats(i, i);
      (void)f.tray->menu_model();
    }
  };
  std::thread a(report, "A");
  std::thread b(report, "B");
  a.join();
  b.join();
  const auto r = f.host->record();
  EXPECT_EQ(r.tooltips.size(), 401u);
  const TraySnapshot s = f.tray->snapshot();
  EXPECT_EQ(r.tooltips.back(), compose_tooltip(s.status_text, s.peer_name));
}
