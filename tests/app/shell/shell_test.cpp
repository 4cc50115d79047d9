#include "app/shell/shell.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "app/shell/terminate_handler.h"
#include "engine/fake/fake_audio_endpoint.h"
#include "engine/stream_manager.h"
#include "session_harness.h"
#include "storage/memory_autostart.h"
#include "support/fake_clock.h"
#include "tray/recording_tray_host.h"
#include "tray/tray_types.h"

namespace {

// Records what the wiring shows the user.
struct FakePlatform : PlatformServices {
  std::string computer_name() override { return "DESK-7"; }
  void show_error(const std::string& text) override { shown += text; }
  void show_notice(const std::string& text) override { shown += "notice: " + text; }
  void copy_to_clipboard(const std::string& text) override { shown += "copied " + text; }
  std::int64_t now_seconds() override { return 1700000000; }
  std::string shown;
};

// One run of the wiring around the real engine, `how` it is to go: a fake
// sound device, loopback sockets, a fake clock for the session's timers.
// `user` plays the person at the tray, `phone` a receiver.
struct ShellRun {
  int run() {
    ShellEnvironment env;
    env.platform = &platform;
    env.autostart = &autostart;
    env.claim_instance = [this] { return how != "second start"; };
    env.executable_path = "C:\\Program Files\\Tovik\\tovik.exe";
    env.create_engine = [this](const StreamConfig& seen) {
      config = seen;
      FakeEndpointConfig device;
      device.open_result = how == "no device"      ? ErrorCode::NoAudioDevice
                           : how == "device fails" ? ErrorCode::CaptureFailed
                                                   : ErrorCode::Ok;
      auto endpoint = std::make_unique<FakeAudioEndpoint>(device);
      endpoint->play_real_time(480, [](float* out, std::uint32_t frames, int channels) {
        std::fill(out, out + frames * static_cast<std::uint32_t>(channels), 0.25f);
      });
      // 96 kbit/s, not the engine's own 128, so that a change shows; Opus refuses 12345 Hz.
      StreamManagerOptions options{std::move(endpoint),
                                   test::loopback_transmitter_config(announcements, &clock),
                                   {how == "codec fails" ? 12345 : 48000, 2, 96000, 20}};
      if (how == "port taken") options.transport.audio_port = phone.port();
      Created<StreamManager> created = StreamManager::create(seen, std::move(options));
      manager = created.object.get();
      return created_as<StreamEngine>(std::move(created));
    };
    env.create_tray_host = [this] {
      auto host = std::make_unique<RecordingTrayHost>(how != "no tray");
      host->set_on_run([this](TrayHostSink& sink) {
        if (user) user(dynamic_cast<TrayIcon&>(sink));
        sink.dispatch_command(tray_command::kQuit);
      });
      host->set_on_destroy([this, raw = host.get()] { tray = raw->record(); });
      return host;
    };
    return Shell(std::move(env)).run();
  }

  std::string how;
  std::function<void(TrayIcon&)> user;
  FakePlatform platform;
  MemoryAutostart autostart;
  test::LoopbackPeer announcements, phone;
  FakeClock clock;
  StreamManager* manager = nullptr;
  StreamConfig config;
  RecordingTrayHost::Record tray;  // as it was when the tray went away
};

}  // namespace

TEST(Shell, EveryWayAStartEndsShowsItsTextLogsItsStepsAndExits) {
  const std::string create =
      "=== Tovik starting ===|Creating stream manager...|Calling StreamManager::create...|";
  const std::string tray =
      create + "StreamManager created OK|Loading settings...|Creating tray icon...|";
  const std::string start =
      tray + "Tray icon created OK|Wiring up callbacks...|Starting stream...|";
  // How it goes: exit code, what the user is shown, tray created/destroyed/run, debug.log.
  const std::pair<std::string, std::string> ends[] = {
      {"second start", "0 notice: Tovik is already running. 0/0/0 "},
      // The first start loses the two lines written before the folder exists.
      {"no device",
       "1 No audio output device found. Check your sound settings. 0/0/0 "
       "Calling StreamManager::create...|StreamManager::create FAILED|"},
      {"device fails",
       "1 Failed to capture audio. Another app may be using exclusive mode. 0/0/0 " + create +
           "StreamManager::create FAILED|"},
      {"codec fails", "1 Audio codec error. Try restarting the stream. 0/0/0 " + create +
                          "StreamManager::create FAILED|"},
      {"no tray", "1 Failed to create tray icon 0/0/0 " + tray + "Tray icon FAILED|"},
      {"port taken",
       "1 Internal error. Please report this bug. 1/1/0 " + start + "Stream start FAILED|"},
      {"normal", "0 96 kbit/s 1/1/1 " + start +  // quality Auto keeps the bitrate
                     "Stream started OK - entering message loop|=== Tovik shutting down ===|"},
  };
  for (const auto& [how, outcome] : ends) {
    test::AppDataScope app_data(/*create_tovik_folder=*/how != "no device");
    ShellRun run;
    run.how = how;
    run.user = [&](TrayIcon&) {
      run.platform.shown = std::to_string(run.manager->bitrate_kbps()) + " kbit/s";
    };
    std::string seen = std::to_string(run.run());
    seen += " " + run.platform.shown + " " + std::to_string(run.tray.create_calls) + "/" +
            std::to_string(run.tray.destroy_calls) + "/" + std::to_string(run.tray.run_calls) + " ";
    for (const std::string& line : test::log_lines(app_data, "debug.log")) seen += line + "|";
    EXPECT_EQ(seen, outcome);
    EXPECT_EQ(run.config.device_name + run.config.device_id.substr(0, 6),
              how == "second start" ? "Tovik PC" : "DESK-7tovik-");
  }
}

// A receiver pairs; the user pauses; the receiver falls silent past the
// time-out and comes back: still paused, no audio. Its own SetPaused shows at
// once. A stranger with a wrong code is one notice. Then the menu's commands,
// and Disconnect for the rest of the run.
TEST(Shell, TrayEngineAndStoresAgreeThroughARun) {
  test::AppDataScope app_data;
  test::write_file_bytes(app_data.tovik_path("settings.json"),
                         R"({"quality":"high","start_with_windows":true,"smart_volume":false})");
  // A name-keyed entry of an older version is kept but not trusted.
  test::write_file_bytes(app_data.tovik_path("paired_devices.json"),
                         R"([{"id":"rx-9","name":"Den","timestamp":5},)"
                         R"({"id":"Hall","name":"Hall","timestamp":3}])");
  ShellRun run;
  std::string code, seen;
  test::LoopbackPeer eve;
  run.user = [&](TrayIcon& tray) {
    const auto shows = [&](const char16_t* tooltip) {
      return test::wait_until([&] { return tray.tooltip() == tooltip; });
    };
    const auto audio = [&](int ms) {
      return run.phone.receive([](const std::string& d) { return d.size() > 16 && d[0] == 1; },
                               std::chrono::milliseconds(ms));
    };
    const auto send = [&](test::LoopbackPeer& from, const std::string& bytes) {
      from.send(bytes, run.manager->audio_port());
    };
    code = tray.snapshot().pairing_code;
    send(run.phone, build_hello("Kitchen\x1b\"}", "rx-kitchen", code));
    ASSERT_TRUE(shows(u"Tovik \u2014 Connected (Kitchen\x1b\"})"));
    test::wait_until([&] { return tray.snapshot().bitrate_kbps != 0; });  // set after the status
    seen = std::to_string(tray.snapshot().rtt_ms) + " ms " +
           std::to_string(tray.snapshot().bitrate_kbps) + " kbit/s";
    ASSERT_TRUE(audio(10000));
    tray.dispatch_command(tray_command::kTogglePause);
    for (int i = 0; i < 200 && audio(300); ++i) {
    }
    run.clock.advance_ms(6000);  // the receiver falls silent past the time-out
    ASSERT_TRUE(test::wait_until([&] { return tray.snapshot().status_text != "Connected"; }));
    send(run.phone, build_hello("Kitchen", "rx-kitchen", code));
    EXPECT_TRUE(shows(u"Tovik \u2014 Paused (Kitchen)"));
    EXPECT_FALSE(audio(500));
    for (int i = 0; i < 2; ++i) send(eve, build_hello("Eve", "rx-eve", "x"));
    send(run.phone, std::string("\xC0\x03\x00\x01\x00", 5));  // SetPaused 0, after Eve's
    EXPECT_TRUE(shows(u"Tovik \u2014 Connected (Kitchen)"));
    EXPECT_TRUE(audio(10000));
    for (int command :
         {tray_command::kQualityLow, tray_command::kQualityAuto, tray_command::kStartWithWindows,
          tray_command::kSmartVolume, tray_command::kCopyPairingCode, tray_command::kDisconnect}) {
      tray.dispatch_command(command);
    }
    EXPECT_TRUE(shows(u"Tovik \u2014 Disconnected"));
    seen += ", then " + std::to_string(run.manager->bitrate_kbps()) + " kbit/s";
  };
  EXPECT_EQ(run.run(), 0);
  EXPECT_EQ(seen, "40 ms 256 kbit/s, then 64 kbit/s");  // Auto keeps what Low set
  EXPECT_EQ(run.platform.shown, "copied " + code);
  EXPECT_EQ(run.config.remembered_receivers, std::vector<std::string>{"rx-9"});
  EXPECT_EQ(run.tray.notices, std::vector<std::u16string>{u"Refused a connection from 'Eve' "
                                                          u"(127.0.0.1): wrong pairing code"});
  EXPECT_EQ(run.autostart.exe_path().value_or(""), "C:\\Program Files\\Tovik\\tovik.exe");
  const std::string end = test::text_line_end();
  EXPECT_EQ(test::read_file_bytes(app_data.tovik_path("settings.json")),
            R"({"quality":"auto","start_with_windows":true,"smart_volume":true})" + end);
  EXPECT_EQ(
      test::read_file_bytes(app_data.tovik_path("paired_devices.json")),
      R"([{"id":"rx-9","name":"Den","timestamp":5},{"id":"Hall","name":"Hall","timestamp":3},)"
      R"({"id":"rx-kitchen","name":"Kitchen","timestamp":1700000000}])" +
          end);
}

TEST(Shell, StateTextsAndRefusalNotices) {
  std::string texts;
  for (int state : {0, 1, 2, 3, 4, 5, 9}) {
    texts += state_display_text(static_cast<tovik::ConnectionState>(state)) + std::string("|");
  }
  EXPECT_EQ(texts,
            "Disconnected|Searching...|Connecting...|Approval pending...|Connected|Reconnecting..."
            "|Disconnected|");
  // The first from each source, then one a minute from it, three a minute in all.
  RefusalNotices notices;
  std::string shown;
  for (auto [ip, ms] : std::vector<std::pair<std::uint32_t, std::int64_t>>{
           {1, 0}, {2, 1}, {3, 2}, {4, 3}, {1, 59999}, {1, 60000}, {4, 60001}}) {
    shown += notices.should_show(ip, ms) ? "1" : "0";
  }
  EXPECT_EQ(shown, "1110011");
  EXPECT_EQ(refusal_notice_text({tovik::RefusalReason::NoCode, "Eve\x1b[2J", 0x0A4D0004}),
            "Refused a connection from 'Eve[2J' (10.77.0.4): no pairing code");
}

#ifndef _WIN32
TEST(TerminateHandlerDeathTest, LogsTheExceptionAndAborts) {
  test::AppDataScope app_data;
  GTEST_FLAG_SET(death_test_style, "fast");  // the child keeps this APPDATA
  EXPECT_DEATH(
      {
        install_terminate_handler();
        // Escapes a thread body, the way an uncaught exception would in Tovik.
        std::thread([] { throw std::runtime_error("boom"); }).join();
      },
      "");
  EXPECT_EQ(
      test::log_lines(app_data, "debug.log"),
      (std::vector<std::string>{"TERMINATE called - unhandled C++ exception", "Exception: boom"}));
}
#endif
