#include "tray/platform/posix/terminal_tray_host.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "support/test_support.h"
#include "tray/platform/posix/half_block_qr.h"
#include "tray/qr_encoder.h"
#include "tray/tray_icon.h"

namespace {

// A terminal tray writing to a file, which the test may read while the loop
// writes. Quit reports Disconnected from inside, as the engine's stop does,
// and logs whether it ran on the loop's thread.
struct TerminalTray {
  test::TempDir dir;
  std::ofstream out{dir.path() + "/out"};
  std::unique_ptr<TrayIcon> tray;
  std::string quits;  // loop thread only
  std::thread::id loop_thread = std::this_thread::get_id();

  TerminalTray(const char* code, bool ansi, std::string receiver = {}) {
    tray = std::make_unique<TrayIcon>(
        std::make_unique<TerminalTrayHost>(out, ansi, std::move(receiver)));
    tray->set_pairing_code(code);
    TrayCallbacks cb;
    cb.on_quit = [this] {
      quits += std::this_thread::get_id() == loop_thread ? "on the loop's thread" : "elsewhere";
      tray->set_status("Disconnected", "");
    };
    EXPECT_TRUE(tray->create(cb));
  }
  std::string text() const { return test::read_file_bytes(dir.path() + "/out").value_or(""); }
};

std::string qr_lines(const char* code, const std::string& on, const std::string& off) {
  std::string text;
  for (const std::string& line : half_block_lines(*QrEncoder::encode(code))) {
    text += on + line + off + "\n";
  }
  return text;
}

}  // namespace

TEST(TerminalTrayHost, PrintsCodeQrListenCommandsEachStatusChangeAndNoticesThenQuitsOnSigterm) {
  TerminalTray t("123456", false, "/opt/t/tovik-receive");
  t.tray->set_status("Connecting...", "");
  t.tray->set_status("Searching...", "");  // before the loop: only the latest counts
  std::thread worker([&t] {
    EXPECT_TRUE(test::wait_until([&t] { return t.text().find("Searching") != std::string::npos; }));
    t.tray->set_status("Connecting...", "");
    t.tray->set_status("Connected", "Kitchen");
    t.tray->set_status("Connected", "Kitchen");  // unchanged: no new line
    t.tray->set_status("Searching...", "");
    t.tray->show_notice("Refused a connection");
    EXPECT_TRUE(test::wait_until([&t] { return t.text().find("Notice") != std::string::npos; }));
    kill(getpid(), SIGTERM);
  });
  t.tray->run_message_loop();
  worker.join();
  EXPECT_EQ(t.text(), "Pairing code: 123 456\n" + qr_lines("123456", "", "") +
                          "Listen on another computer on this network:\n"
                          "  tovik-receive --code 123456\n"
                          "Check on this computer (10 s into a WAV file, not played here):\n"
                          "  /opt/t/tovik-receive --to 127.0.0.1 --code 123456 --duration 10"
                          " --out tovik-check.wav\n"
                          "Status: Searching...\nStatus: Connecting...\n"
                          "Status: Connected (Kitchen)\nStatus: Searching...\n"
                          "Notice: Refused a connection\nStatus: Disconnected\n");
  EXPECT_EQ(t.quits, "on the loop's thread");
}

TEST(TerminalTrayHost, SigintBeforeTheLoopQuitsOneHostOwnsTheSignalsAndGivesThemBack) {
  struct sigaction before {};
  sigaction(SIGINT, nullptr, &before);
  {
    TerminalTray t("000000", /*ansi=*/true);
    std::ofstream none;
    EXPECT_FALSE(TerminalTrayHost(none, false).create(*t.tray, u"")) << "the signals are taken";
    std::string notes;  // "Tovik — Connected (x" is 20 units: 53 whole notes fit in 127
    for (int i = 0; i < 100; ++i) notes += "\xF0\x9F\x8E\xB5";
    t.tray->set_status("Connected", "x" + notes);
    kill(getpid(), SIGINT);  // a signal that arrives before the loop runs is not lost
    t.tray->run_message_loop();
    EXPECT_EQ(t.text(), "Pairing code: 000 000\n" + qr_lines("000000", "\x1b[97;40m", "\x1b[0m") +
                            "Status: Connected (x" + notes.substr(0, 53 * 4) +
                            "\nStatus: Disconnected\n");
  }
  struct sigaction after {};
  sigaction(SIGINT, nullptr, &after);
  EXPECT_EQ(after.sa_handler, before.sa_handler);

  TerminalTray five("12345", false);  // no six digits: no code, no symbol
  kill(getpid(), SIGTERM);
  five.tray->run_message_loop();
  EXPECT_EQ(five.text(), "Status: Disconnected\n");
}
