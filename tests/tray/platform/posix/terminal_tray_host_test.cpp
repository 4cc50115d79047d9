#include "tray/platform/posix/terminal_tray_host.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <sstream>
#include <streambuf>
#include <string>
#include <thread>

#include "support/test_support.h"
#include "tray/platform/posix/half_block_qr.h"
#include "tray/qr_encoder.h"
#include "tray/recording_tray_host.h"
#include "tray/tray_icon.h"

namespace {

// An output that the test thread may read while the loop thread writes.
class LockedBuffer : public std::streambuf {
 public:
  std::string text() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return text_;
  }

 protected:
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    std::lock_guard<std::mutex> lock(mutex_);
    text_.append(s, static_cast<std::size_t>(n));
    return n;
  }
  int_type overflow(int_type c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    char ch = traits_type::to_char_type(c);
    xsputn(&ch, 1);
    return c;
  }

 private:
  mutable std::mutex mutex_;
  std::string text_;
};

struct TerminalTray {
  LockedBuffer buffer;
  std::ostream out{&buffer};
  std::unique_ptr<TrayIcon> tray;
  std::atomic<int> quits{0};
  std::atomic<bool> quit_on_loop_thread{false};
  std::thread::id loop_thread;

  explicit TerminalTray(bool ansi = false) {
    tray = std::make_unique<TrayIcon>(std::make_unique<TerminalTrayHost>(out, ansi));
  }

  // Like the shell: the engine's stop reports Disconnected from inside Quit.
  TrayCallbacks callbacks() {
    TrayCallbacks cb;
    cb.on_quit = [this] {
      ++quits;
      quit_on_loop_thread = std::this_thread::get_id() == loop_thread;
      tray->set_status("Disconnected", "");
    };
    return cb;
  }

  bool printed(const std::string& text, int times = 1) const {
    std::string all = buffer.text();
    int found = 0;
    for (std::size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1)) {
      ++found;
    }
    return found >= times;
  }

  void run() {
    loop_thread = std::this_thread::get_id();
    tray->run_message_loop();
  }
};

std::string expected_qr(const char* code) {
  std::string text;
  for (const std::string& line : half_block_lines(*QrEncoder::encode(code))) text += line + "\n";
  return text;
}

}  // namespace

TEST(TerminalTrayHost, PrintsCodeQrAndEachStatusChangeThenQuitsOnSigterm) {
  TerminalTray t;
  t.tray->set_pairing_code("123456");
  ASSERT_TRUE(t.tray->create(t.callbacks()));
  t.tray->set_status("Connecting...", "");
  t.tray->set_status("Searching...", "");  // before the loop: only the latest counts
  std::thread worker([&t] {
    ASSERT_TRUE(test::wait_until([&t] { return t.printed("Status: Searching...\n"); }));
    t.tray->set_status("Connecting...", "");
    t.tray->set_status("Connected", "Kitchen");
    t.tray->set_status("Connected", "Kitchen");  // unchanged: no new line
    t.tray->set_status("Searching...", "");
    ASSERT_TRUE(test::wait_until([&t] { return t.printed("Status: Searching...\n", 2); }));
    kill(getpid(), SIGTERM);
  });
  t.run();
  worker.join();
  EXPECT_EQ(t.buffer.text(), "Pairing code: 123 456\n" + expected_qr("123456") +
                                 "Status: Searching...\n"
                                 "Status: Connecting...\n"
                                 "Status: Connected (Kitchen)\n"
                                 "Status: Searching...\n"
                                 "Status: Disconnected\n");
  EXPECT_EQ(t.quits.load(), 1);
  EXPECT_TRUE(t.quit_on_loop_thread) << "the signal is handled on the loop's thread";
}

TEST(TerminalTrayHost, SigintBeforeTheLoopQuitsAndTheSignalsAreGivenBack) {
  struct sigaction before {};
  sigaction(SIGINT, nullptr, &before);
  {
    TerminalTray t(/*ansi=*/true);
    t.tray->set_pairing_code("000000");
    ASSERT_TRUE(t.tray->create(t.callbacks()));
    std::string peer = "x";  // puts the 127-unit cut inside a surrogate pair
    for (int i = 0; i < 100; ++i) peer += "\xF0\x9F\x8E\xB5";  // two UTF-16 units each
    t.tray->set_status("Connected", peer);
    kill(getpid(), SIGINT);  // a signal that arrives before the loop runs is not lost
    t.run();
    EXPECT_EQ(t.quits.load(), 1);
    EXPECT_TRUE(t.quit_on_loop_thread);
    const std::string first_line = half_block_lines(*QrEncoder::encode("000000"))[0];
    std::string notes;  // "Tovik — Connected (x" is 20 units; 107 more hold 53 whole notes
    for (int i = 0; i < 53; ++i) notes += "\xF0\x9F\x8E\xB5";
    const std::string text = t.buffer.text();
    EXPECT_NE(text.find("\x1b[97;40m" + first_line + "\x1b[0m\n"), std::string::npos);
    EXPECT_NE(text.find("Status: Connected (x" + notes + "\nStatus: Disconnected\n"),
              std::string::npos)
        << text;
  }
  struct sigaction after {};
  sigaction(SIGINT, nullptr, &after);
  EXPECT_EQ(after.sa_handler, before.sa_handler);
}

TEST(TerminalTrayHost, OneHostOwnsTheSignalsAndOnlySixDigitsGetACode) {
  std::ostringstream out;
  TerminalTrayHost first(out, false);
  TerminalTrayHost second(out, false);
  TrayIcon sink(std::make_unique<RecordingTrayHost>());
  ASSERT_TRUE(first.create(sink, u"Tovik"));
  EXPECT_FALSE(second.create(sink, u"Tovik"));
  first.destroy();

  TerminalTray t;
  t.tray->set_pairing_code("12345");
  ASSERT_TRUE(t.tray->create(t.callbacks()));
  kill(getpid(), SIGTERM);
  t.run();
  EXPECT_EQ(t.buffer.text(), "Status: Disconnected\n");
}
