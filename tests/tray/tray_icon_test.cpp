#include "tray/tray_icon.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tray/command_dispatch.h"
#include "tray/recording_tray_host.h"
#include "tray/tooltip.h"
#include "tray/utf8_text.h"

namespace {

namespace cmd = tray_command;

// Records which slot fired, with its argument.
struct CallLog {
  std::vector<std::string> calls;

  TrayCallbacks callbacks() {
    TrayCallbacks cb;
    cb.on_quit = [this] { calls.push_back("quit"); };
    cb.on_disconnect = [this] { calls.push_back("disconnect"); };
    cb.on_toggle_pause = [this] { calls.push_back("pause"); };
    cb.on_quality = [this](AudioQuality q) {
      calls.push_back("quality " + std::to_string(static_cast<int>(q)));
    };
    cb.on_start_with_windows = [this](bool on) {
      calls.push_back(std::string("autostart ") + (on ? "on" : "off"));
    };
    cb.on_smart_volume = [this](bool on) {
      calls.push_back(std::string("smart ") + (on ? "on" : "off"));
    };
    cb.on_copy_pairing_code = [this] { calls.push_back("copy"); };
    return cb;
  }
};

struct Fixture {
  RecordingTrayHost* host;
  std::unique_ptr<TrayIcon> tray;
};

Fixture make_tray(bool create_succeeds = true) {
  auto host = std::make_unique<RecordingTrayHost>(create_succeeds);
  RecordingTrayHost* raw = host.get();
  return {raw, std::make_unique<TrayIcon>(std::move(host))};
}

}  // namespace

TEST(Utf8Text, ConvertsValidTextAndRejectsMalformedInput) {
  EXPECT_EQ(utf8_to_utf16("Tovik"), u"Tovik");
  EXPECT_EQ(utf8_to_utf16("K\xC3\xBC\xE2\x80\x94"), u"K\u00FC\u2014");
  EXPECT_EQ(utf8_to_utf16("\xF0\x9F\x8E\xB5"), u"\U0001F3B5");  // a surrogate pair
  for (const char* bad : {"\xFF", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                          "\xC3", "abc\xE2\x80", "\x80"}) {
    EXPECT_FALSE(utf8_to_utf16(bad).has_value()) << bad;
    EXPECT_EQ(utf8_to_utf16_or_empty(bad), u"");
  }
  EXPECT_EQ(utf8_to_utf16(""), u"");
}

TEST(Tooltip, ComposesPrefixStatusAndPeer) {
  EXPECT_EQ(compose_tooltip("Searching...", ""), u"Tovik \u2014 Searching...");
  EXPECT_EQ(compose_tooltip("Connected", "Kitchen"), u"Tovik \u2014 Connected (Kitchen)");
  EXPECT_EQ(compose_tooltip("Connected", ""), u"Tovik \u2014 Connected");
  EXPECT_EQ(compose_tooltip("", ""), u"Tovik \u2014 ");
  EXPECT_EQ(compose_tooltip("Bad\xFF", ""), u"Tovik \u2014 ");
  // A peer name that does not convert still has its (empty) parentheses.
  EXPECT_EQ(compose_tooltip("Connected", "\xC3"), u"Tovik \u2014 Connected ()");
}

TEST(Tooltip, LongPeerNameIsCutAt127Units) {
  std::u16string tip = compose_tooltip("Connected", std::string(200, 'x'));
  ASSERT_EQ(tip.size(), 127u);
  EXPECT_EQ(tip.substr(0, 20), u"Tovik \u2014 Connected (x");
  EXPECT_EQ(tip.back(), u'x') << "cut inside the name, no closing parenthesis";
  std::u16string exact = compose_tooltip("Connected", std::string(127 - 20, 'y'));
  EXPECT_EQ(exact.size(), 127u);
  EXPECT_EQ(exact.back(), u')');
}

TEST(TrayIcon, CreateShowsInitialTooltipAndDestructorRemovesIcon) {
  auto f = make_tray();
  int destroyed = 0;
  f.host->set_on_destroy([&destroyed] { ++destroyed; });
  ASSERT_TRUE(f.tray->create({}));
  auto r = f.host->record();
  EXPECT_EQ(r.create_calls, 1);
  EXPECT_EQ(r.tooltips, (std::vector<std::u16string>{u"Tovik \u2014 Disconnected"}));
  f.tray->set_status("Searching...", "");
  EXPECT_EQ(f.host->record().tooltips.back(), u"Tovik \u2014 Searching...");
  EXPECT_EQ(destroyed, 0);
  f.tray.reset();
  EXPECT_EQ(destroyed, 1);
}

TEST(TrayIcon, FailedCreateTouchesNoIconAfterwards) {
  auto f = make_tray(false);
  int destroyed = 0;
  f.host->set_on_destroy([&destroyed] { ++destroyed; });
  EXPECT_FALSE(f.tray->create({}));
  f.tray->set_status("Connected", "Phone");  // nothing to update
  auto r = f.host->record();
  EXPECT_EQ(r.create_calls, 1);
  EXPECT_TRUE(r.tooltips.empty());
  EXPECT_EQ(f.tray->tooltip(), u"Tovik \u2014 Connected (Phone)");
  f.tray.reset();
  EXPECT_EQ(destroyed, 0);
}

TEST(TrayIcon, LeavingConnectedClearsFiguresButPauseIsTheSources) {
  auto f = make_tray();
  bool engine_paused = true;
  f.tray->set_paused_source([&engine_paused] { return engine_paused; });
  f.tray->set_status("Connected", "");
  f.tray->set_link_stats(12, 128);
  f.tray->set_status("Connected", "");  // staying connected keeps them
  TraySnapshot s = f.tray->snapshot();
  EXPECT_EQ(s.rtt_ms, 12);
  EXPECT_EQ(s.bitrate_kbps, 128);
  EXPECT_TRUE(s.paused);
  EXPECT_EQ(f.tray->tooltip(), u"Tovik \u2014 Paused");
  f.tray->set_status("Reconnecting...", "");
  s = f.tray->snapshot();
  EXPECT_EQ(s.rtt_ms, 0);
  EXPECT_EQ(s.bitrate_kbps, 0);
  EXPECT_TRUE(s.paused);
  EXPECT_EQ(f.tray->menu_model()[0].text, "tovik \u2014 No Receiver");
}

TEST(TrayIcon, OtherSettersStoreWithoutTouchingTheTooltip) {
  auto f = make_tray();
  ASSERT_TRUE(f.tray->create({}));
  f.tray->set_link_stats(7, 64);
  f.tray->set_pairing_code("042517");
  AppSettings settings;
  settings.quality = AudioQuality::Low;
  settings.smart_volume = true;
  f.tray->set_settings(settings);
  TraySnapshot s = f.tray->snapshot();
  EXPECT_EQ(s.rtt_ms, 7);
  EXPECT_EQ(s.bitrate_kbps, 64);
  EXPECT_EQ(s.pairing_code, "042517");
  EXPECT_FALSE(s.paused) << "no source: never paused";
  EXPECT_EQ(s.settings.quality, AudioQuality::Low);
  EXPECT_TRUE(s.settings.smart_volume);
  EXPECT_EQ(f.host->record().tooltips.size(), 1u) << "only the creation tooltip";
}

TEST(TrayIcon, ShowMenuHandsTheModelOfTheCurrentStateToTheHost) {
  auto host = std::make_unique<RecordingTrayHost>();
  RecordingTrayHost* raw = host.get();
  MenuOptions options;
  options.autostart_label = "Start at login";
  TrayIcon tray(std::move(host), options);
  tray.set_pairing_code("123456");
  ASSERT_TRUE(tray.create({}));
  tray.show_menu();
  tray.set_status("Connected", "Phone");
  tray.show_menu();
  auto menus = raw->record().menus;
  ASSERT_EQ(menus.size(), 2u);
  EXPECT_EQ(menus[0][0].text, "tovik \u2014 No Receiver");
  EXPECT_EQ(menus[0][2].text, "Pairing Code: 123 456");
  EXPECT_EQ(menus[0][menus[0].size() - 3].text, "Start at login");
  EXPECT_EQ(menus[1][1].text, "Connected to: Phone");
}

TEST(TrayIcon, QrPanelUsesTheStoredCode) {
  auto f = make_tray();
  PixelRect item{0, 0, 200, 88};
  EXPECT_FALSE(f.tray->qr_panel_layout(item, 96, 96).has_symbol);
  f.tray->set_pairing_code("123456");
  QrPanelLayout l = f.tray->qr_panel_layout(item, 96, 96);
  EXPECT_TRUE(l.has_symbol);
  EXPECT_EQ(l.text, "123 456");
}

TEST(CommandDispatch, EachIdReachesItsSlot) {
  CallLog log;
  TrayCallbacks cb = log.callbacks();
  AppSettings settings;
  settings.start_with_windows = true;  // negated: off
  settings.smart_volume = false;       // negated: on
  for (int id : {2004, 2007, 2010, 2011, 2012, 2013, 2014, 2015, 2020}) {
    EXPECT_EQ(dispatch_command(id, cb, settings), CommandResult::Handled) << id;
  }
  EXPECT_EQ(dispatch_command(2006, cb, settings), CommandResult::Quit);
  EXPECT_EQ(log.calls,
            (std::vector<std::string>{"disconnect", "pause", "quality 0", "quality 1", "quality 2",
                                      "quality 3", "autostart off", "smart on", "copy", "quit"}));
}

TEST(CommandDispatch, UnknownIdsAndEmptySlots) {
  CallLog log;
  TrayCallbacks cb = log.callbacks();
  for (int id : {0, 2003, 2005, 2008, 2009, 2016, 2019, 2021, 2030, 0x10000 + 2004}) {
    EXPECT_EQ(dispatch_command(id, cb, {}), CommandResult::NotHandled) << id;
  }
  EXPECT_TRUE(log.calls.empty());
  TrayCallbacks empty;
  for (int id : {2004, 2007, 2010, 2014, 2015, 2020}) {
    EXPECT_EQ(dispatch_command(id, empty, {}), CommandResult::Handled) << id;
  }
  EXPECT_EQ(dispatch_command(2006, empty, {}), CommandResult::Quit);
}

TEST(TrayIcon, DispatchNegatesStoredFlagsAndQuitEndsTheLoop) {
  auto f = make_tray();
  CallLog log;
  TrayCallbacks cb = log.callbacks();
  TrayIcon* tray = f.tray.get();
  cb.on_start_with_windows = [&log, tray](bool on) {
    log.calls.push_back(std::string("autostart ") + (on ? "on" : "off"));
    AppSettings s = tray->snapshot().settings;
    s.start_with_windows = on;
    tray->set_settings(s);  // the shell reports back from inside the callback
  };
  ASSERT_TRUE(f.tray->create(cb));
  f.host->set_on_run([](TrayHostSink& sink) {
    EXPECT_TRUE(sink.dispatch_command(cmd::kStartWithWindows));
    EXPECT_TRUE(sink.dispatch_command(cmd::kStartWithWindows));
    EXPECT_FALSE(sink.dispatch_command(2005));
    EXPECT_TRUE(sink.dispatch_command(cmd::kQuit));
  });
  f.tray->run_message_loop();
  EXPECT_EQ(log.calls, (std::vector<std::string>{"autostart on", "autostart off", "quit"}));
  EXPECT_EQ(f.host->record().quit_calls, 1);
}

TEST(TrayIcon, QuitWithAnEmptySlotStillQuits) {
  auto f = make_tray();
  ASSERT_TRUE(f.tray->create({}));
  EXPECT_TRUE(f.tray->dispatch_command(cmd::kQuit));
  EXPECT_TRUE(f.tray->dispatch_command(cmd::kDisconnect));
  EXPECT_EQ(f.host->record().quit_calls, 1);
}

TEST(TrayIcon, ConcurrentStatusReportsLeaveTheLastComposedTooltipShown) {
  auto f = make_tray();
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
  auto r = f.host->record();
  EXPECT_EQ(r.tooltips.size(), 401u);
  EXPECT_EQ(r.tooltips.back(), f.tray->tooltip());
  TraySnapshot s = f.tray->snapshot();
  EXPECT_EQ(r.tooltips.back(), compose_tooltip(s.status_text, s.peer_name));
}
