#include "transport/udp_socket.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "support/test_support.h"

namespace {

// A socket bound to 127.0.0.1 on a port the system picks.
struct LoopbackSocket {
  LoopbackSocket() {
    UdpSocket::startup();
    socket.open();
    socket.set_receive_timeout_ms(2000);
    socket.bind(kIpv4Loopback, 0);
  }
  SocketAddress address() const { return SocketAddress{kIpv4Loopback, socket.local_port()}; }
  // The next datagram that fits in capacity bytes, or "<n>" for no data.
  std::string receive(std::size_t capacity = 2048, SocketAddress* from = nullptr) {
    std::string buffer(capacity, '\0');
    const int n = socket.receive_from(&buffer[0], capacity, from);
    return n > 0 ? buffer.substr(0, n) : "<" + std::to_string(n) + ">";
  }

  UdpSocket socket;
};

}  // namespace

TEST(Ipv4Text, FormatsAndParsesOnlyStrictDottedDecimal) {
  EXPECT_EQ(format_ipv4(0x0A4D0001u), "10.77.0.1");
  EXPECT_EQ(parse_ipv4("10.77.0.2"), 0x0A4D0002u);
  EXPECT_EQ(parse_ipv4("255.255.255.255"), kIpv4Broadcast);
  for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 ", " 1.2.3.4", "1..2.3",
                          "01.2.3.4", "1.2.3.-4", "a.b.c.d", "1.2.3.1000", "1.2.3."}) {
    EXPECT_FALSE(parse_ipv4(bad).has_value()) << bad;
  }
}

TEST(UdpSocket, DeliversWholeDatagramsWithTheirSourceAndNeverACutOne) {
  LoopbackSocket sender, receiver;
  for (const std::string& text :
       {std::string("hello"), std::string(512, 'x'), std::string(511, 'y'), std::string()}) {
    EXPECT_EQ(sender.socket.send_to(text.data(), text.size(), receiver.address()),
              static_cast<int>(text.size()));
  }
  SocketAddress from;
  EXPECT_EQ(receiver.receive(511, &from), "hello");
  EXPECT_EQ(from.port, sender.socket.local_port());
  EXPECT_EQ(from.ip, kIpv4Loopback);
  EXPECT_EQ(receiver.receive(511)[0], '<');  // 512 bytes
  EXPECT_EQ(receiver.receive(511), std::string(511, 'y'));
  EXPECT_EQ(receiver.receive(511)[0], '<');  // the empty one is no data too
}

TEST(UdpSocket, CloseEndsAWaitingReceivePromptlyAndAClosedSocketRefusesCalls) {
  LoopbackSocket receiver, peer;
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
  EXPECT_EQ(receiver.socket.send_to("a", 1, peer.address()), -1);
  EXPECT_EQ(receiver.receive(), "<-1>");
  EXPECT_EQ(receiver.socket.local_port(), 0);
  ASSERT_TRUE(receiver.socket.open());
  EXPECT_EQ(receiver.socket.send_to("a", 1, peer.address()), 1);
  EXPECT_EQ(peer.receive(), "a");
}
