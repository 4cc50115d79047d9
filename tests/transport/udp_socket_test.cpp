#include "transport/udp_socket.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"
#include "transport/steady_clock.h"

namespace {

// A socket bound to 127.0.0.1 on a port the system picks.
struct LoopbackSocket {
  explicit LoopbackSocket(int timeout_ms = 2000) {
    UdpSocket::startup();
    EXPECT_TRUE(socket.open());
    socket.set_receive_timeout_ms(timeout_ms);
    EXPECT_TRUE(socket.bind(kIpv4Loopback, 0));
  }
  SocketAddress address() const { return SocketAddress{kIpv4Loopback, socket.local_port()}; }
  int send(const std::string& text, const LoopbackSocket& to) {
    return socket.send_to(text.data(), text.size(), to.address());
  }
  // The next datagram that fits in capacity bytes, or "<n>" for no data.
  std::string receive(std::size_t capacity = 2048, SocketAddress* from = nullptr) {
    std::vector<char> buffer(capacity);
    const int n = socket.receive_from(buffer.data(), capacity, from);
    return n > 0 ? std::string(buffer.data(), n) : "<" + std::to_string(n) + ">";
  }

  UdpSocket socket;
};

TEST(Ipv4Text, FormatsAndParsesOnlyStrictDottedDecimal) {
  EXPECT_EQ(format_ipv4(0x0A4D0001u), "10.77.0.1");
  EXPECT_EQ(format_ipv4(kIpv4Broadcast), "255.255.255.255");
  EXPECT_EQ(parse_ipv4("10.77.0.2"), 0x0A4D0002u);
  EXPECT_EQ(parse_ipv4("255.255.255.255"), kIpv4Broadcast);
  EXPECT_EQ(parse_ipv4("0.0.0.0"), kIpv4Any);
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 ", " 1.2.3.4", "1..2.3",
                          "01.2.3.4", "1.2.3.-4", "a.b.c.d", "1.2.3.1000", "1.2.3."}) {
    EXPECT_FALSE(parse_ipv4(bad).has_value()) << bad;
  }
}

TEST(SteadyClock, CountsWholeMillisecondsOfTheMonotonicClock) {
  const std::int64_t ns = system_steady_clock().now_ns();
  const std::int64_t ms = steady_ms();
  EXPECT_GE(ms, ns / 1000000);
  EXPECT_LE(ms - ns / 1000000, 1000);
}

TEST(UdpSocket, DeliversWholeDatagramsWithTheirSourceAndDropsLongerOnes) {
  LoopbackSocket sender, receiver;
  EXPECT_EQ(sender.send("hello", receiver), 5);
  SocketAddress from;
  EXPECT_EQ(receiver.receive(2048, &from), "hello");
  EXPECT_EQ(from.ip, kIpv4Loopback);
  EXPECT_EQ(from.port, sender.socket.local_port());
  for (const std::string& text :
       {std::string(512, 'x'), std::string(511, 'y'), std::string(), std::string("next")}) {
    sender.send(text, receiver);
  }
  EXPECT_EQ(receiver.receive(511)[0], '<');  // never delivered cut
  EXPECT_EQ(receiver.receive(511), std::string(511, 'y'));
  EXPECT_EQ(receiver.receive(511)[0], '<');  // the empty one is no data too
  EXPECT_EQ(receiver.receive(511), "next");
}

TEST(UdpSocket, CloseEndsAWaitingReceivePromptlyAndAClosedSocketRefusesCalls) {
  LoopbackSocket receiver;
  std::atomic<bool> entered{false};
  std::atomic<int> result{1};
  std::thread waiter([&] {
    char buffer[64];
    entered = true;
    result = receiver.socket.receive_from(buffer, sizeof buffer, nullptr, -1);  // no time-out
  });
  ASSERT_TRUE(test::wait_until([&] { return entered.load(); }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let it block in the call
  const auto start = std::chrono::steady_clock::now();
  receiver.socket.close();
  waiter.join();
  EXPECT_LE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_LE(result.load(), 0);
  LoopbackSocket peer;
  UdpSocket& socket = receiver.socket;
  EXPECT_FALSE(socket.is_open());
  EXPECT_EQ(socket.send_to("a", 1, peer.address()), -1);
  EXPECT_EQ(receiver.receive(), "<-1>");
  EXPECT_EQ(socket.local_port(), 0);
  socket.close();
  ASSERT_TRUE(socket.open());
  EXPECT_EQ(socket.send_to("a", 1, peer.address()), 1);
  EXPECT_EQ(peer.receive(), "a");
}

TEST(UdpSocket, CloseRacesWithSendersAndReceiversSafely) {
  LoopbackSocket peer;
  for (int round = 0; round < 20; ++round) {
    LoopbackSocket shared(20);
    std::atomic<int> passes{0};
    std::vector<std::thread> users;
    for (int i = 0; i < 2; ++i) {
      users.emplace_back([&] {
        while (shared.socket.is_open()) {
          shared.send("x", peer);
          shared.receive(64);
          ++passes;
        }
      });
    }
    ASSERT_TRUE(test::wait_until([&] { return passes.load() >= 2; }));
    shared.socket.close();
    for (auto& user : users) user.join();
  }
}

}  // namespace
