#include "discovery/service_discovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>

#include "session_harness.h"
#include "support/fake_clock.h"

namespace {

class Discovery : public ::testing::Test {
 protected:
  // The discovery.log lines that begin with prefix, each ended by a newline.
  std::string log(const std::string& prefix) const {
    std::string text;
    for (const auto& line : test::log_lines(app_data_, "discovery.log")) {
      if (line.rfind(prefix, 0) == 0) text += line + "\n";
    }
    return text;
  }
  bool wait_log(const std::string& prefix, int lines = 1) const {
    return test::wait_until([&] {
      const std::string text = log(prefix);
      return std::count(text.begin(), text.end(), '\n') >= lines;
    });
  }
  // Announcements go to a loopback port, never to the broadcast address.
  static std::unique_ptr<ServiceDiscovery> create(std::uint16_t port,
                                                  const Clock* clock = nullptr) {
    return std::move(ServiceDiscovery::create({port, kIpv4Loopback, clock}).object);
  }

  test::AppDataScope app_data_;
};

}  // namespace

TEST_F(Discovery, BroadcasterAnnouncesEveryTwoSecondsAndLogsTheFirstThreeThenEveryThirtieth) {
  FakeClock clock;
  test::LoopbackPeer sink;
  auto broadcaster = create(sink.port(), &clock);
  ASSERT_EQ(broadcaster->start_broadcasting("Tovik PC", 19483, "id-1"), ErrorCode::Ok);
  EXPECT_EQ(broadcaster->start_broadcasting("Again", 1, "a"), ErrorCode::InvalidArgument);
  EXPECT_EQ(sink.receive(), "TOVIK|Tovik PC|19483|id-1");
  for (int sent = 2; sent <= 61; ++sent) {
    if (sent <= 3) {
      clock.advance_ms(1999);
      EXPECT_FALSE(sink.receive(nullptr, std::chrono::milliseconds(150))) << "before 2 s";
    }
    clock.advance_ms(sent <= 3 ? 1 : 2000);
    ASSERT_TRUE(sink.receive()) << sent;
  }
  broadcaster->stop();  // a hang here is a stop that cannot end the wait for the next period
  const std::string port = std::to_string(sink.port());
  std::string expected = "broadcast_loop started: msg='TOVIK|Tovik PC|19483|id-1' port=" + port;
  for (const char* count : {"1", "2", "3", "30", "60"}) {
    expected += std::string("\nbroadcast sent #") + count + " (bytes=25)";
  }
  EXPECT_EQ(log("broadcast"), expected + "\n");
}

TEST_F(Discovery, ListenerReportsEachNewIdOnceAndRemembersTheLatest32) {
  std::mutex mutex;
  std::string found;
  auto listener = create(0);
  listener->set_on_found([&](const tovik::DiscoveredService& s) {
    std::lock_guard<std::mutex> lock(mutex);
    found += s.name + "@" + s.address + ":" + std::to_string(s.port) + "/" + s.id + "\n";
  });
  ASSERT_EQ(listener->start_listening(), ErrorCode::Ok);
  EXPECT_EQ(listener->start_listening(), ErrorCode::InvalidArgument);
  ASSERT_TRUE(test::wait_until([&] { return listener->listening_port() != 0; }));
  const std::uint16_t port = listener->listening_port();
  test::LoopbackPeer peer;
  for (int i = 0; i < 120; ++i) peer.send("", port);  // no data: counted as polls
  ASSERT_TRUE(wait_log("listen_loop: poll #120,"));
  int received = 0;
  auto deliver = [&](const std::string& text) {
    peer.send(text, port);
    ASSERT_TRUE(wait_log("listen_loop: received ", ++received));
  };
  // No text twice: the log writes a line repeated within a second only once.
  for (const char* text : {"HELLO|x", "TOVIK|Room|19483|abc", "TOVIK|Other|1|abc"}) {
    deliver(text);
  }
  const std::string fits = "TOVIK|big|7|" + std::string(499, 'f');
  peer.send(fits + "g", port);  // 512 bytes: never seen
  deliver(fits);
  std::string expected = "Room@127.0.0.1:19483/abc\nbig@127.0.0.1:7/" + fits.substr(12) + "\n";
  for (int i = 0; i < 31; ++i) {
    deliver("TOVIK|n|1|" + std::to_string(i));
    expected += "n@127.0.0.1:1/" + std::to_string(i) + "\n";
  }
  deliver("TOVIK|Back|19483|abc");  // forgotten: 32 newer ids came since
  deliver("TOVIK|m|1|0");
  listener->stop();  // a hang here is a stop that cannot end the blocking receive
  EXPECT_EQ(found, expected + "Back@127.0.0.1:19483/abc\n");
  std::string polls;
  for (const char* count : {"1", "2", "3", "60", "120"}) {
    polls += std::string("listen_loop: poll #") + count + ", no data (n=0)\n";
  }
  EXPECT_EQ(log("listen_loop: poll #"), polls);
  const std::string heard =
      "listen_loop: received 7 bytes from 127.0.0.1: 'HELLO|x'\n"
      "listen_loop: not a TOVIK packet, ignoring\n"
      "listen_loop: received 20 bytes from 127.0.0.1: 'TOVIK|Room|19483|abc'\n"
      "listen_loop: FOUND service 'Room' at 127.0.0.1:19483 (id=abc)\n"
      "listen_loop: NEW service \xE2\x80\x94 calling on_found callback\n"
      "listen_loop: callback returned\n"
      "listen_loop: received 17 bytes from 127.0.0.1: 'TOVIK|Other|1|abc'\n"
      "listen_loop: FOUND service 'Other' at 127.0.0.1:1 (id=abc)\n"
      "listen_loop: duplicate service, skipping\n";
  const std::string all = log("listen_loop: ");
  EXPECT_EQ(log("listen_loop: b"),
            "listen_loop: bound to port " + std::to_string(port) + ", waiting for broadcasts...\n");
  EXPECT_EQ(all.substr(all.find("listen_loop: received"), heard.size()), heard);
}

#ifndef _WIN32  // Winsock lets SO_REUSEADDR take over a port bound without it
TEST_F(Discovery, ListenerBindFailureIsLogged) {
  UdpSocket holder;  // without address reuse: the port is held
  ASSERT_TRUE(holder.open() && holder.bind(kIpv4Any, 0));
  auto listener = create(holder.local_port());
  ASSERT_EQ(listener->start_listening(), ErrorCode::Ok);
  EXPECT_TRUE(wait_log("listen_loop: bind FAILED on port " + std::to_string(holder.local_port())));
}
#endif
