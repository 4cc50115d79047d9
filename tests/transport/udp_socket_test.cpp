#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"
#include "transport/steady_clock.h"
#include "transport/udp_socket.h"

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

std::int64_t elapsed_ms(steady_clock::time_point since) {
  return std::chrono::duration_cast<milliseconds>(steady_clock::now() - since).count();
}

// A socket bound to 127.0.0.1 on a port the system picks.
class LoopbackSocket {
 public:
  explicit LoopbackSocket(int timeout_ms = 2000) {
    UdpSocket::startup();
    EXPECT_TRUE(socket.open());
    socket.set_receive_timeout_ms(timeout_ms);
    EXPECT_TRUE(socket.bind(kIpv4Loopback, 0));
    port = socket.local_port();
    EXPECT_NE(port, 0);
  }
  SocketAddress address() const { return SocketAddress{kIpv4Loopback, port}; }

  UdpSocket socket;
  std::uint16_t port = 0;
};

TEST(Ipv4Text, FormatsDottedDecimal) {
  EXPECT_EQ(format_ipv4(0x0A4D0001u), "10.77.0.1");
  EXPECT_EQ(format_ipv4(kIpv4Any), "0.0.0.0");
  EXPECT_EQ(format_ipv4(kIpv4Broadcast), "255.255.255.255");
  EXPECT_EQ(format_ipv4(kIpv4Loopback), "127.0.0.1");
}

TEST(Ipv4Text, ParsesOnlyStrictDottedDecimal) {
  EXPECT_EQ(parse_ipv4("10.77.0.2"), 0x0A4D0002u);
  EXPECT_EQ(parse_ipv4("255.255.255.255"), kIpv4Broadcast);
  EXPECT_EQ(parse_ipv4("0.0.0.0"), kIpv4Any);
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 ", " 1.2.3.4", "1..2.3",
                          "01.2.3.4", "1.2.3.-4", "a.b.c.d", "1.2.3.1000", "1.2.3."}) {
    EXPECT_FALSE(parse_ipv4(bad).has_value()) << bad;
  }
}

TEST(SteadyClock, IsMonotonicAndInWholeMilliseconds) {
  const std::int64_t ns = system_steady_clock().now_ns();
  const std::int64_t ms = steady_ms();
  EXPECT_GE(ms, ns / 1000000);
  EXPECT_LE(ms - ns / 1000000, 1000);
  std::int64_t last = steady_ms();
  for (int i = 0; i < 1000; ++i) {
    const std::int64_t now = steady_ms();
    ASSERT_GE(now, last);
    last = now;
  }
}

TEST(UdpSocket, SendsAndReceivesWithSourceAddress) {
  LoopbackSocket sender;
  LoopbackSocket receiver;
  const std::string text = "hello over loopback";
  EXPECT_EQ(sender.socket.send_to(text.data(), text.size(), receiver.address()),
            static_cast<int>(text.size()));
  char buffer[2048];
  SocketAddress from;
  const int n = receiver.socket.receive_from(buffer, sizeof buffer, &from);
  ASSERT_EQ(n, static_cast<int>(text.size()));
  EXPECT_EQ(std::string(buffer, n), text);
  EXPECT_EQ(from.ip, kIpv4Loopback);
  EXPECT_EQ(from.port, sender.port);
}

TEST(UdpSocket, DatagramLongerThanBufferIsNoDataAndNextIsReadWhole) {
  LoopbackSocket sender;
  LoopbackSocket receiver;
  const std::vector<char> too_long(512, 'x');
  const std::vector<char> just_fits(511, 'y');
  const std::string next = "next";
  sender.socket.send_to(too_long.data(), too_long.size(), receiver.address());
  sender.socket.send_to(just_fits.data(), just_fits.size(), receiver.address());
  sender.socket.send_to(next.data(), next.size(), receiver.address());
  char buffer[512];
  std::memset(buffer, 0, sizeof buffer);
  EXPECT_LE(receiver.socket.receive_from(buffer, 511, nullptr), 0);
  ASSERT_EQ(receiver.socket.receive_from(buffer, 511, nullptr), 511);
  EXPECT_EQ(std::string(buffer, 511), std::string(511, 'y'));
  ASSERT_EQ(receiver.socket.receive_from(buffer, 511, nullptr), 4);
  EXPECT_EQ(std::string(buffer, 4), next);
}

TEST(UdpSocket, EmptyDatagramCountsAsNoData) {
  LoopbackSocket sender;
  LoopbackSocket receiver;
  EXPECT_EQ(sender.socket.send_to("", 0, receiver.address()), 0);
  char buffer[16];
  EXPECT_LE(receiver.socket.receive_from(buffer, sizeof buffer, nullptr), 0);
}

TEST(UdpSocket, CloseEndsAWaitingReceivePromptly) {
  // The receive has no time-out: only close() can end the wait.
  LoopbackSocket receiver;
  std::atomic<bool> entered{false};
  std::atomic<int> result{1};
  std::thread waiter([&] {
    char buffer[64];
    entered = true;
    result = receiver.socket.receive_from(buffer, sizeof buffer, nullptr, -1);
  });
  ASSERT_TRUE(test::wait_until([&] { return entered.load(); }));
  std::this_thread::sleep_for(milliseconds(100));  // let it block in the call
  const auto start = steady_clock::now();
  receiver.socket.close();
  waiter.join();
  EXPECT_LE(elapsed_ms(start), 500);
  EXPECT_LE(result.load(), 0);
  EXPECT_FALSE(receiver.socket.is_open());
}

TEST(UdpSocket, ClosedSocketRefusesCallsAndCanBeReopened) {
  LoopbackSocket peer;
  UdpSocket socket;
  char buffer[16];
  EXPECT_FALSE(socket.is_open());
  EXPECT_EQ(socket.send_to("a", 1, peer.address()), -1);
  EXPECT_EQ(socket.receive_from(buffer, sizeof buffer, nullptr), -1);
  socket.close();
  ASSERT_TRUE(socket.open());
  socket.close();
  socket.close();
  EXPECT_EQ(socket.send_to("a", 1, peer.address()), -1);
  EXPECT_EQ(socket.local_port(), 0);
  ASSERT_TRUE(socket.open());
  EXPECT_EQ(socket.send_to("a", 1, peer.address()), 1);
  EXPECT_EQ(peer.socket.receive_from(buffer, sizeof buffer, nullptr), 1);
}

TEST(UdpSocket, CloseRacesWithSendersAndReceiversSafely) {
  LoopbackSocket peer;
  for (int round = 0; round < 20; ++round) {
    LoopbackSocket shared(20);
    std::atomic<bool> go{false};
    std::atomic<int> passes{0};
    std::vector<std::thread> users;
    for (int i = 0; i < 2; ++i) {
      users.emplace_back([&] {
        char buffer[64];
        while (!go.load()) std::this_thread::yield();
        while (shared.socket.is_open()) {
          shared.socket.send_to("x", 1, peer.address());
          shared.socket.receive_from(buffer, sizeof buffer, nullptr);
          ++passes;
        }
      });
    }
    go = true;
    ASSERT_TRUE(test::wait_until([&] { return passes.load() >= 2; }));
    shared.socket.close();
    for (auto& user : users) user.join();
    EXPECT_FALSE(shared.socket.is_open());
  }
}

}  // namespace
