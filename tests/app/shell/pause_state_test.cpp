// One paused state, whoever paused: the real engine on loopback sockets with
// the tray recorded. Paused from the menu, the receiver timed out and back:
// the menu still says Paused and no audio frame arrives. The receiver's own
// SetPaused shows in the menu and the tooltip at once.
#include <gtest/gtest.h>

#include "app/shell/shell.h"
#include "engine/fake/fake_audio_endpoint.h"
#include "engine/stream_manager.h"
#include "fakes.h"
#include "session_harness.h"
#include "storage/memory_autostart.h"
#include "support/fake_clock.h"
#include "tray/recording_tray_host.h"

namespace {

bool is_audio(const std::string& d) { return d.size() > 16 && d[0] == 0x01; }

// The first line of the "Connected" menu's pause section.
std::string pause_line(const TrayIcon& tray) { return tray.menu_model().at(4).text; }

bool connected(const TrayIcon& tray) { return tray.snapshot().status_text == "Connected"; }

}  // namespace

TEST(PauseState, MenuTooltipAndWireAgreeWhoeverPaused) {
  test::AppDataScope app_data;
  test::LoopbackPeer announcements, phone;
  FakeClock clock;
  FakePlatform platform;
  MemoryAutostart autostart;
  StreamManager* manager = nullptr;
  ShellEnvironment env;
  env.platform = &platform;
  env.autostart = &autostart;
  env.create_engine = [&](const StreamConfig& config) {
    auto endpoint = std::make_unique<FakeAudioEndpoint>();
    endpoint->play_real_time(480, [](float* out, std::uint32_t frames, int channels) {
      std::fill(out, out + frames * static_cast<std::uint32_t>(channels), 0.25f);
    });
    StreamManagerOptions options;
    options.endpoint = std::move(endpoint);
    options.transport = test::loopback_transmitter_config(announcements, &clock);
    Created<StreamManager> created = StreamManager::create(config, std::move(options));
    manager = created.object.get();
    return created_as<StreamEngine>(std::move(created));
  };
  auto greet = [&] {
    phone.send(build_hello("Phone", "rx-1", manager->pairing_code()), manager->audio_port());
  };
  auto set_paused = [&](char on) {
    phone.send(std::string("\xC0\x03\x00\x01", 4) + on, manager->audio_port());
  };
  env.create_tray_host = [&] {
    auto host = std::make_unique<RecordingTrayHost>();
    host->set_on_run([&](TrayHostSink& sink) {
      auto& tray = dynamic_cast<TrayIcon&>(sink);
      greet();
      ASSERT_TRUE(test::wait_until([&] { return connected(tray); }));
      ASSERT_TRUE(phone.receive(is_audio));
      tray.dispatch_command(tray_command::kTogglePause);
      while (phone.receive(is_audio, std::chrono::milliseconds(300))) {
      }
      clock.advance_ms(6000);  // the receiver falls silent past the time-out
      ASSERT_TRUE(test::wait_until([&] { return !connected(tray); }));
      greet();
      ASSERT_TRUE(test::wait_until([&] { return connected(tray); }));
      EXPECT_EQ(pause_line(tray), "\xE2\x97\x8B Paused");
      EXPECT_EQ(tray.menu_model().at(5).text, "Resume");
      EXPECT_EQ(tray.tooltip(), u"Tovik \u2014 Paused (Phone)");
      EXPECT_FALSE(phone.receive(is_audio, std::chrono::milliseconds(500)));

      set_paused('\0');
      EXPECT_TRUE(test::wait_until([&] { return pause_line(tray) == "\xE2\x97\x8F Streaming"; }));
      EXPECT_TRUE(
          test::wait_until([&] { return tray.tooltip() == u"Tovik \u2014 Connected (Phone)"; }));
      EXPECT_TRUE(phone.receive(is_audio));
      set_paused('\1');
      EXPECT_TRUE(test::wait_until([&] { return pause_line(tray) == "\xE2\x97\x8B Paused"; }));
      EXPECT_TRUE(
          test::wait_until([&] { return tray.tooltip() == u"Tovik \u2014 Paused (Phone)"; }));
      sink.dispatch_command(tray_command::kQuit);
    });
    return host;
  };
  EXPECT_EQ(Shell(std::move(env)).run(), 0);
}
