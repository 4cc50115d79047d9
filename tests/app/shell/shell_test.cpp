#include "app/shell/shell.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <thread>

#include "app/shell/terminate_handler.h"
#include "fakes.h"
#include "storage/memory_autostart.h"
#include "support/test_support.h"
#include "tray/recording_tray_host.h"
#include "tray/tray_types.h"

using tovik::ConnectionState;

namespace {

std::vector<std::string> debug_lines(const test::AppDataScope& app_data) {
  return test::log_lines(app_data, "debug.log");
}

// One run of the wiring with fakes; `user` plays the person at the tray.
class ShellRun {
 public:
  ErrorCode create_code = ErrorCode::Ok;
  ErrorCode start_code = ErrorCode::Ok;
  bool tray_succeeds = true;
  std::function<void(TrayIcon&, FakeEngine&)> user;

  int run() {
    ShellEnvironment env;
    env.platform = &platform;
    env.autostart = &autostart;
    env.executable_path = "C:\\Program Files\\Tovik\\tovik.exe";
    env.create_engine = [this](const StreamConfig& config) {
      config_seen = config;
      Created<StreamEngine> created;
      created.code = create_code;
      if (create_code == ErrorCode::Ok) {
        auto fake = std::make_unique<FakeEngine>(&calls, start_code);
        engine = fake.get();
        created.object = std::move(fake);
      }
      return created;
    };
    env.create_tray_host = [this] {
      auto host = std::make_unique<RecordingTrayHost>(tray_succeeds);
      host->set_on_run([this](TrayHostSink& sink) {
        if (user) user(dynamic_cast<TrayIcon&>(sink), *engine);
        sink.dispatch_command(tray_command::kQuit);
      });
      RecordingTrayHost* raw = host.get();
      host->set_on_destroy([this, raw] { final_record = raw->record(); });
      hosts_made++;
      return host;
    };
    return Shell(std::move(env)).run();
  }

  FakePlatform platform;
  MemoryAutostart autostart;
  FakeEngine::Calls calls;
  FakeEngine* engine = nullptr;
  StreamConfig config_seen;
  RecordingTrayHost::Record final_record;
  int hosts_made = 0;
};

const std::vector<std::string> kCreateLines = {
    "=== Tovik starting ===", "Creating stream manager...", "Calling StreamManager::create..."};

}  // namespace

TEST(Shell, EngineCreateFailuresShowTheirTextAndExitOne) {
  for (ErrorCode code :
       {ErrorCode::NoAudioDevice, ErrorCode::CaptureFailed, ErrorCode::CodecError}) {
    test::AppDataScope app_data;
    ShellRun run;
    run.create_code = code;
    EXPECT_EQ(run.run(), 1);
    std::vector<std::string> expected = kCreateLines;
    expected.push_back("StreamManager::create FAILED");
    EXPECT_EQ(debug_lines(app_data), expected);
    EXPECT_EQ(run.platform.errors, std::vector<std::string>{error_message(code)});
    EXPECT_EQ(run.hosts_made, 0);
  }
}

TEST(Shell, FirstStartLosesTheTwoLinesWrittenBeforeTheFolderExists) {
  test::AppDataScope app_data(/*create_tovik_folder=*/false);
  ShellRun run;
  run.create_code = ErrorCode::NoAudioDevice;
  EXPECT_EQ(run.run(), 1);
  EXPECT_EQ(debug_lines(app_data), (std::vector<std::string>{"Calling StreamManager::create...",
                                                             "StreamManager::create FAILED"}));
  EXPECT_EQ(run.config_seen.device_name, "DESK-7");
  EXPECT_EQ(run.config_seen.device_id.rfind("tovik-", 0), 0u);
}

TEST(Shell, TrayFailureShowsItsBoxAndNeverStartsTheEngine) {
  test::AppDataScope app_data;
  ShellRun run;
  run.tray_succeeds = false;
  EXPECT_EQ(run.run(), 1);
  auto lines = debug_lines(app_data);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "Tray icon FAILED");
  EXPECT_EQ(run.platform.errors, std::vector<std::string>{"Failed to create tray icon"});
  EXPECT_EQ(run.calls.starts, 0);
  EXPECT_EQ(run.final_record.create_calls, 0);
}

TEST(Shell, StartFailureShowsInternalErrorAndRemovesTheIcon) {
  test::AppDataScope app_data;
  ShellRun run;
  run.start_code = ErrorCode::InternalError;
  EXPECT_EQ(run.run(), 1);
  auto lines = debug_lines(app_data);
  const std::vector<std::string> tail = {"Tray icon created OK", "Wiring up callbacks...",
                                         "Starting stream...", "Stream start FAILED"};
  ASSERT_GE(lines.size(), tail.size());
  EXPECT_EQ(std::vector<std::string>(lines.end() - 4, lines.end()), tail);
  EXPECT_EQ(run.platform.errors,
            std::vector<std::string>{"Internal error. Please report this bug."});
  EXPECT_EQ(run.final_record.create_calls, 1);
  EXPECT_EQ(run.final_record.destroy_calls, 1);
  EXPECT_EQ(run.final_record.run_calls, 0);
}

TEST(Shell, NormalRunLogsEveryStepAndQuitsWithZero) {
  test::AppDataScope app_data;
  ShellRun run;
  std::u16string tooltip_while_running;
  run.user = [&](TrayIcon& tray, FakeEngine& engine) {
    tooltip_while_running = tray.tooltip();
    EXPECT_TRUE(engine.approves("Anyone", "any-id"));
  };
  EXPECT_EQ(run.run(), 0);
  std::vector<std::string> expected = kCreateLines;
  expected.insert(expected.end(),
                  {"StreamManager created OK", "Loading settings...", "Creating tray icon...",
                   "Tray icon created OK", "Wiring up callbacks...", "Starting stream...",
                   "Stream started OK - entering message loop", "=== Tovik shutting down ==="});
  EXPECT_EQ(debug_lines(app_data), expected);
  EXPECT_EQ(tooltip_while_running, u"Tovik \u2014 Searching...");
  EXPECT_TRUE(run.calls.has_approval);
  EXPECT_GE(run.calls.stops, 2);            // Quit, then teardown
  EXPECT_TRUE(run.calls.bitrates.empty());  // quality Auto
  EXPECT_EQ(run.final_record.destroy_calls, 1);
  EXPECT_EQ(run.final_record.tooltips.back(), u"Tovik \u2014 Disconnected");
}

TEST(Shell, SavedQualityIsAppliedAndTheAutostartEntryDecidesTheCheckMark) {
  test::AppDataScope app_data;
  test::write_file_bytes(
      app_data.tovik_path("settings.json"),
      "{\"quality\":\"high\",\"start_with_windows\":true,\"smart_volume\":false}\n");
  ShellRun run;
  TraySnapshot seen;
  run.user = [&](TrayIcon& tray, FakeEngine&) { seen = tray.snapshot(); };
  EXPECT_EQ(run.run(), 0);
  EXPECT_EQ(run.calls.bitrates, std::vector<std::int32_t>{256000});
  EXPECT_EQ(seen.settings.quality, AudioQuality::High);
  EXPECT_FALSE(seen.settings.start_with_windows);  // no autostart entry exists
  EXPECT_EQ(seen.pairing_code, "042917");
}

TEST(Shell, ConnectedReportsReachTheTrayAndReceiversAreRememberedByTheirIds) {
  test::AppDataScope app_data;
  // A name-keyed entry of an older version is kept but not trusted.
  test::write_file_bytes(app_data.tovik_path("paired_devices.json"),
                         "[{\"id\":\"rx-9\",\"name\":\"Den\",\"timestamp\":5},"
                         "{\"id\":\"Hall\",\"name\":\"Hall\",\"timestamp\":3}]\n");
  ShellRun run;
  TraySnapshot connected;
  run.user = [&](TrayIcon& tray, FakeEngine& engine) {
    engine.report(ConnectionState::ApprovalPending, "Kitchen");
    engine.report(ConnectionState::Connected, "Kitchen");
    engine.on_paired("rx-kitchen", "Kitchen");
    run.platform.now = 1700000100;
    engine.on_paired("rx-kitchen", "Kitchen\x1b\"}");
    connected = tray.snapshot();
  };
  EXPECT_EQ(run.run(), 0);
  EXPECT_EQ(run.config_seen.remembered_receivers, std::vector<std::string>{"rx-9"});
  EXPECT_EQ(connected.status_text, "Connected");
  EXPECT_EQ(connected.peer_name, "Kitchen");
  EXPECT_EQ(connected.rtt_ms, 40);
  EXPECT_EQ(connected.bitrate_kbps, 128);
  EXPECT_EQ(test::read_file_bytes(app_data.tovik_path("paired_devices.json")),
            std::string("[{\"id\":\"rx-9\",\"name\":\"Den\",\"timestamp\":5},{\"id\":\"Hall\","
                        "\"name\":\"Hall\",\"timestamp\":3},{\"id\":\"rx-kitchen\",\"name\":"
                        "\"Kitchen\",\"timestamp\":1700000100}]") +
                test::text_line_end());
}

TEST(RefusalNotices, FirstFromEachSourceThenOneAMinuteAndThreeAMinuteInAll) {
  RefusalNotices notices;
  std::vector<bool> shown;
  for (auto [ip, ms] : std::vector<std::pair<std::uint32_t, std::int64_t>>{
           {1, 0}, {2, 1}, {3, 2}, {4, 3}, {1, 59999}, {1, 60000}, {4, 60001}}) {
    shown.push_back(notices.should_show(ip, ms));
  }
  EXPECT_EQ(shown, (std::vector<bool>{true, true, true, false, false, true, true}));
  EXPECT_EQ(refusal_notice_text({tovik::RefusalReason::WrongCode, "Eve\x1b[2J", 0x0A4D0004}),
            "Refused a connection from 'Eve[2J' (10.77.0.4): wrong pairing code");
}

TEST(Shell, TrayCommandsReachEngineSettingsAutostartAndClipboard) {
  test::AppDataScope app_data;
  ShellRun run;
  TraySnapshot after;
  run.user = [&](TrayIcon& tray, FakeEngine&) {
    tray.dispatch_command(tray_command::kTogglePause);
    EXPECT_TRUE(run.calls.paused);
    EXPECT_TRUE(tray.snapshot().paused);
    tray.dispatch_command(tray_command::kTogglePause);
    EXPECT_FALSE(run.calls.paused);
    tray.dispatch_command(tray_command::kQualityLow);
    tray.dispatch_command(tray_command::kQualityAuto);
    tray.dispatch_command(tray_command::kStartWithWindows);
    tray.dispatch_command(tray_command::kSmartVolume);
    tray.dispatch_command(tray_command::kCopyPairingCode);
    after = tray.snapshot();
  };
  EXPECT_EQ(run.run(), 0);
  EXPECT_EQ(run.calls.bitrates, std::vector<std::int32_t>{64000});  // Auto keeps it
  EXPECT_EQ(after.settings.quality, AudioQuality::Auto);
  EXPECT_TRUE(after.settings.start_with_windows);
  EXPECT_TRUE(after.settings.smart_volume);
  EXPECT_EQ(run.autostart.exe_path(),
            std::optional<std::string>("C:\\Program Files\\Tovik\\tovik.exe"));
  EXPECT_EQ(run.platform.clipboard, std::vector<std::string>{"042917"});
  EXPECT_EQ(
      test::read_file_bytes(app_data.tovik_path("settings.json")),
      std::string("{\"quality\":\"auto\",\"start_with_windows\":true,\"smart_volume\":true}") +
          test::text_line_end());
}

TEST(Shell, DisconnectStopsTheEngineForTheRestOfTheRun) {
  test::AppDataScope app_data;
  ShellRun run;
  TraySnapshot after;
  run.user = [&](TrayIcon& tray, FakeEngine& engine) {
    engine.report(ConnectionState::Connected, "Phone");
    tray.dispatch_command(tray_command::kDisconnect);
    after = tray.snapshot();
  };
  EXPECT_EQ(run.run(), 0);
  EXPECT_EQ(after.status_text, "Disconnected");
  EXPECT_EQ(after.peer_name, "");
  EXPECT_EQ(run.calls.starts, 1);
}

TEST(Shell, StateTextsCoverEveryState) {
  EXPECT_STREQ(state_display_text(ConnectionState::Disconnected), "Disconnected");
  EXPECT_STREQ(state_display_text(ConnectionState::Searching), "Searching...");
  EXPECT_STREQ(state_display_text(ConnectionState::Connecting), "Connecting...");
  EXPECT_STREQ(state_display_text(ConnectionState::ApprovalPending), "Approval pending...");
  EXPECT_STREQ(state_display_text(ConnectionState::Connected), "Connected");
  EXPECT_STREQ(state_display_text(ConnectionState::Reconnecting), "Reconnecting...");
  EXPECT_STREQ(state_display_text(static_cast<ConnectionState>(9)), "Disconnected");
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
      debug_lines(app_data),
      (std::vector<std::string>{"TERMINATE called - unhandled C++ exception", "Exception: boom"}));
}
#endif
