#include "discovery/service_discovery.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "discovery_test_support.h"
#include "support/fake_clock.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using test::count_lines;
using test::count_prefixed;
using test::lines_with_prefix;

std::int64_t elapsed_ms(steady_clock::time_point since) {
  return std::chrono::duration_cast<milliseconds>(steady_clock::now() - since).count();
}

// Collects what on_found reports.
struct FoundRecorder {
  std::mutex mutex;
  std::vector<tovik::DiscoveredService> found;

  ServiceDiscovery::FoundCallback callback() {
    return [this](const tovik::DiscoveredService& service) {
      std::lock_guard<std::mutex> lock(mutex);
      found.push_back(service);
    };
  }
  std::vector<tovik::DiscoveredService> snapshot() {
    std::lock_guard<std::mutex> lock(mutex);
    return found;
  }
};

class ServiceDiscoveryTest : public ::testing::Test {
 protected:
  std::vector<std::string> log() const { return test::discovery_log_lines(app_data_); }
  bool wait_for_lines(const std::string& prefix, int count, int bound_ms = 15000) const {
    return test::wait_until([&] { return count_prefixed(log(), prefix) >= count; },
                            milliseconds(bound_ms));
  }

  // A listener on a port the system picks, bound before this returns.
  std::unique_ptr<ServiceDiscovery> start_listener(DiscoveryConfig config = {}) {
    config.port = 0;
    auto created = ServiceDiscovery::create(config);
    EXPECT_EQ(created.code, ErrorCode::Ok);
    created.object->set_on_found(recorder_.callback());
    EXPECT_EQ(created.object->start_listening(), ErrorCode::Ok);
    EXPECT_TRUE(test::wait_until([&] { return created.object->listening_port() != 0; }));
    return std::move(created.object);
  }

  // A broadcaster aimed at 127.0.0.1:port instead of the broadcast address.
  static std::unique_ptr<ServiceDiscovery> loopback_broadcaster(std::uint16_t port,
                                                                const Clock* clock = nullptr) {
    DiscoveryConfig config;
    config.port = port;
    config.broadcast_ip = kIpv4Loopback;
    config.clock = clock;
    return std::move(ServiceDiscovery::create(config).object);
  }

  test::AppDataScope app_data_;
  FoundRecorder recorder_;
};

TEST_F(ServiceDiscoveryTest, ListenerFindsABroadcasterOnceAndSkipsItsRepeats) {
  auto listener = start_listener();
  const std::uint16_t port = listener->listening_port();
  auto broadcaster = loopback_broadcaster(port);
  ASSERT_EQ(broadcaster->start_broadcasting("Living Room", 19483, "abc"), ErrorCode::Ok);
  ASSERT_TRUE(wait_for_lines("listen_loop: duplicate service, skipping", 2));
  broadcaster->stop();
  listener->stop();

  const auto found = recorder_.snapshot();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].name, "Living Room");
  EXPECT_EQ(found[0].address, "127.0.0.1");
  EXPECT_EQ(found[0].port, 19483);
  EXPECT_EQ(found[0].id, "abc");

  const auto lines = log();
  const std::string text = "TOVIK|Living Room|19483|abc";
  EXPECT_EQ(
      count_lines(lines, "broadcast_loop started: msg='" + text + "' port=" + std::to_string(port)),
      1);
  EXPECT_EQ(count_lines(lines, "broadcast sent #1 (bytes=27)"), 1);
  EXPECT_EQ(count_lines(lines, "broadcast sent #2 (bytes=27)"), 1);
  EXPECT_EQ(count_lines(lines, "listen_loop: bound to port " + std::to_string(port) +
                                   ", waiting for broadcasts..."),
            1);
  // Everything the listener says about datagrams, in order: one discovery,
  // then three lines for every repeat.
  std::vector<std::string> heard;
  for (const auto& line : lines_with_prefix(lines, "listen_loop: ")) {
    if (line.find("poll #") == std::string::npos && line.find("bound to") == std::string::npos) {
      heard.push_back(line);
    }
  }
  const std::string received = "listen_loop: received 27 bytes from 127.0.0.1: '" + text + "'";
  const std::string found_line =
      "listen_loop: FOUND service 'Living Room' at 127.0.0.1:19483 (id=abc)";
  ASSERT_GE(heard.size(), 10u);
  EXPECT_EQ(heard[0], received);
  EXPECT_EQ(heard[1], found_line);
  EXPECT_EQ(heard[2], "listen_loop: NEW service \xE2\x80\x94 calling on_found callback");
  EXPECT_EQ(heard[3], "listen_loop: callback returned");
  for (std::size_t i = 4; i + 2 < heard.size(); i += 3) {
    EXPECT_EQ(heard[i], received);
    EXPECT_EQ(heard[i + 1], found_line);
    EXPECT_EQ(heard[i + 2], "listen_loop: duplicate service, skipping");
  }
}

TEST_F(ServiceDiscoveryTest, RestartedBroadcasterSendsItsNewText) {
  test::LoopbackPeer sink;
  auto broadcaster = loopback_broadcaster(sink.port());
  std::string text;
  ASSERT_EQ(broadcaster->start_broadcasting("First", 1, "a"), ErrorCode::Ok);
  EXPECT_EQ(broadcaster->start_broadcasting("Again", 1, "a"), ErrorCode::InvalidArgument);
  ASSERT_TRUE(sink.receive(&text));
  EXPECT_EQ(text, "TOVIK|First|1|a");
  broadcaster->stop();
  broadcaster->stop();
  ASSERT_EQ(broadcaster->start_broadcasting("", 0, ""), ErrorCode::Ok);
  ASSERT_TRUE(sink.receive(&text));
  EXPECT_EQ(text, "TOVIK||0|");
  broadcaster->stop();
  const auto started = lines_with_prefix(log(), "broadcast_loop started: ");
  ASSERT_EQ(started.size(), 2u);
  EXPECT_EQ(started[1],
            "broadcast_loop started: msg='TOVIK||0|' port=" + std::to_string(sink.port()));
}

TEST_F(ServiceDiscoveryTest, SendLogShowsFirstThreeThenEveryThirtieth) {
  test::LoopbackPeer sink;
  FakeClock clock;
  auto broadcaster = loopback_broadcaster(sink.port(), &clock);
  ASSERT_EQ(broadcaster->start_broadcasting("n", 7, "i"), ErrorCode::Ok);
  std::string text;
  for (int received = 0; received < 61; ++received) {
    ASSERT_TRUE(sink.receive(&text));
    clock.advance_ms(2000);
  }
  broadcaster->stop();
  const auto sent = lines_with_prefix(log(), "broadcast sent #");
  ASSERT_GE(sent.size(), 5u);
  const char* expected[] = {"#1 ", "#2 ", "#3 ", "#30 ", "#60 "};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(sent[i], std::string("broadcast sent ") + expected[i] + "(bytes=11)");
  }
  for (std::size_t i = 5; i < sent.size(); ++i) {
    EXPECT_EQ(sent[i], "broadcast sent #" + std::to_string(30 * (i - 2)) + " (bytes=11)");
  }
}

TEST_F(ServiceDiscoveryTest, PollLogShowsFirstThreeThenEverySixtieth) {
  auto listener = start_listener();
  test::LoopbackPeer peer;
  // The listener blocks until something comes: empty datagrams are polls without data.
  for (int i = 0; i < 120; ++i) peer.send("", listener->listening_port());
  ASSERT_TRUE(wait_for_lines("listen_loop: poll #120,", 1));
  listener->stop();
  const auto polls = lines_with_prefix(log(), "listen_loop: poll #");
  ASSERT_GE(polls.size(), 4u);
  const int expected[] = {1, 2, 3, 60};
  for (std::size_t i = 0; i < polls.size(); ++i) {
    const int count = i < 4 ? expected[i] : 60 * static_cast<int>(i - 2);
    EXPECT_EQ(polls[i], "listen_loop: poll #" + std::to_string(count) + ", no data (n=0)");
  }
}

TEST_F(ServiceDiscoveryTest, ListenerParsesDropsAndDeduplicatesDatagrams) {
  auto listener = start_listener();
  const std::uint16_t port = listener->listening_port();
  test::LoopbackPeer peer;
  int received = 0;
  auto deliver = [&](const std::string& text) {
    peer.send(text, port);
    ASSERT_TRUE(wait_for_lines("listen_loop: received ", ++received));
  };
  deliver("HELLO|x");
  deliver("TOVIK|x");
  deliver("TOVIK|x|19483");
  deliver("TOVIK|x|abc|id");
  EXPECT_EQ(count_lines(log(), "listen_loop: not a TOVIK packet, ignoring"), 1);
  EXPECT_EQ(count_prefixed(log(), "listen_loop: FOUND"), 0);

  deliver("TOVIK||19483|");
  deliver("TOVIK|Other|1|");
  std::string fits = "TOVIK|big|7|";
  fits += std::string(511 - fits.size(), 'f');
  deliver(fits);
  peer.send(fits + "g", port);  // 512 bytes: never seen
  deliver("TOVIK|after|5|q");
  test::LoopbackPeer other_peer;
  other_peer.send("TOVIK|elsewhere|6|q", port);
  ASSERT_TRUE(wait_for_lines("listen_loop: received ", ++received));
  listener->stop();

  const auto lines = log();
  EXPECT_EQ(count_lines(lines, "listen_loop: FOUND service '' at 127.0.0.1:19483 (id=)"), 1);
  // The log line holding the whole datagram is cut to the line buffer.
  const std::string long_line = "listen_loop: received 511 bytes from 127.0.0.1: '" + fits + "'";
  EXPECT_EQ(count_lines(lines, long_line.substr(0, 511)), 1);
  EXPECT_EQ(count_prefixed(lines, "listen_loop: received 512"), 0);
  EXPECT_EQ(count_lines(lines, "listen_loop: duplicate service, skipping"), 2);
  const auto found = recorder_.snapshot();
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0].name, "");
  EXPECT_EQ(found[0].id, "");
  EXPECT_EQ(found[1].port, 7);
  EXPECT_EQ(found[1].id, std::string(511 - 12, 'f'));
  EXPECT_EQ(found[2].name, "after");
  EXPECT_EQ(found[2].port, 5);
}

TEST_F(ServiceDiscoveryTest, TableOutlivesStopAndEmptyCallbackIsAllowed) {
  auto listener = start_listener();
  listener->set_on_found(nullptr);
  listener->stop();
  ASSERT_EQ(listener->start_listening(), ErrorCode::Ok);
  ASSERT_TRUE(test::wait_until([&] { return listener->listening_port() != 0; }));
  test::LoopbackPeer peer;
  peer.send("TOVIK|a|1|same", listener->listening_port());
  ASSERT_TRUE(wait_for_lines("listen_loop: callback returned", 1));
  listener->stop();

  listener->set_on_found(recorder_.callback());
  ASSERT_EQ(listener->start_listening(), ErrorCode::Ok);
  ASSERT_TRUE(test::wait_until([&] { return listener->listening_port() != 0; }));
  peer.send("TOVIK|b|2|same", listener->listening_port());
  ASSERT_TRUE(wait_for_lines("listen_loop: duplicate service, skipping", 1));
  listener->stop();
  EXPECT_TRUE(recorder_.snapshot().empty());
  EXPECT_EQ(count_prefixed(log(), "listen_loop: NEW service"), 1);
}

TEST_F(ServiceDiscoveryTest, IdleListenerStopsPromptly) {
  auto listener = start_listener();
  const auto start = steady_clock::now();
  listener->stop();
  EXPECT_LE(elapsed_ms(start), 1500);
  EXPECT_EQ(count_lines(log(), "listen_loop: bound to port " +
                                   std::to_string(listener->listening_port()) +
                                   ", waiting for broadcasts..."),
            1);
}

TEST_F(ServiceDiscoveryTest, BindFailureIsLoggedAndEndsTheListener) {
#ifdef _WIN32
  GTEST_SKIP() << "Winsock lets SO_REUSEADDR take over a port bound without it";
#else
  UdpSocket holder;
  ASSERT_TRUE(holder.open());
  ASSERT_TRUE(holder.bind(kIpv4Any, 0));
  DiscoveryConfig config;
  config.port = holder.local_port();
  auto listener = std::move(ServiceDiscovery::create(config).object);
  ASSERT_EQ(listener->start_listening(), ErrorCode::Ok);
  ASSERT_TRUE(wait_for_lines("listen_loop: bind FAILED on port ", 1));
  const auto start = steady_clock::now();
  listener->stop();
  EXPECT_LE(elapsed_ms(start), 200);
  EXPECT_EQ(count_lines(log(), "listen_loop: bind FAILED on port " + std::to_string(config.port)),
            1);
  EXPECT_EQ(listener->listening_port(), 0);
#endif
}

}  // namespace
