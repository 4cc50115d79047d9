#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "impairment_relay.h"
#include "support/test_support.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

// A loopback endpoint on a system-chosen port.
struct Endpoint {
  UdpSocket socket;
  Endpoint() {
    UdpSocket::startup();
    socket.open();
    socket.bind(kIpv4Loopback, 0);
    socket.set_receive_timeout_ms(100);
  }
  SocketAddress address() const { return {kIpv4Loopback, socket.local_port()}; }
  void send_number(std::uint32_t n, const SocketAddress& to) { socket.send_to(&n, sizeof n, to); }
  // Numbers received until nothing arrives for quiet_ms.
  std::vector<std::uint32_t> drain(int quiet_ms, SocketAddress* from = nullptr) {
    std::vector<std::uint32_t> numbers;
    auto last = SteadyClock::now();
    while (SteadyClock::now() - last < std::chrono::milliseconds(quiet_ms)) {
      std::uint32_t n = 0;
      SocketAddress source;
      if (socket.receive_from(&n, sizeof n, &source) == sizeof n) {
        numbers.push_back(n);
        if (from != nullptr) *from = source;
        last = SteadyClock::now();
      }
    }
    return numbers;
  }
};

RelayConfig loopback_config(const Endpoint& server) {
  RelayConfig config;
  config.server = server.address();
  config.seed = 2024;
  return config;
}

}  // namespace

TEST(ImpairmentRelay, ForwardsBothWaysAndRepliesReachTheOriginalSender) {
  Endpoint server, client_a, client_b;
  ImpairmentRelay relay(loopback_config(server));
  ASSERT_EQ(relay.start(), ErrorCode::Ok);
  ASSERT_NE(relay.port(), 0);
  EXPECT_EQ(relay.start(), ErrorCode::InvalidArgument);
  const SocketAddress relay_address{kIpv4Loopback, relay.port()};

  client_a.send_number(1, relay_address);
  client_b.send_number(2, relay_address);
  std::set<std::uint32_t> seen;
  std::set<std::uint16_t> source_ports;
  for (int k = 0; k < 2; ++k) {
    std::uint32_t n = 0;
    SocketAddress from;
    ASSERT_EQ(server.socket.receive_from(&n, sizeof n, &from), 4) << "datagram " << k;
    seen.insert(n);
    source_ports.insert(from.port);
    // Answer through the relay's per-client socket.
    server.send_number(n + 100, from);
  }
  EXPECT_EQ(seen, (std::set<std::uint32_t>{1, 2}));
  EXPECT_EQ(source_ports.size(), 2u);
  SocketAddress from;
  EXPECT_EQ(client_a.drain(300, &from), std::vector<std::uint32_t>{101});
  EXPECT_EQ(from.port, relay.port());
  EXPECT_EQ(client_b.drain(300), std::vector<std::uint32_t>{102});
  relay.stop();
  relay.stop();
  EXPECT_EQ(relay.to_server_counts().forwarded, 2u);
  EXPECT_EQ(relay.to_client_counts().forwarded, 2u);
}

TEST(ImpairmentRelay, DelaysBothDirections) {
  Endpoint server, client;
  RelayConfig config = loopback_config(server);
  config.to_server.delay_ms = 60;
  config.to_client.delay_ms = 60;
  ImpairmentRelay relay(config);
  ASSERT_EQ(relay.start(), ErrorCode::Ok);
  const auto sent = SteadyClock::now();
  client.send_number(7, {kIpv4Loopback, relay.port()});
  std::uint32_t n = 0;
  SocketAddress from;
  ASSERT_TRUE(test::wait_until([&] { return server.socket.receive_from(&n, 4, &from) == 4; }));
  server.send_number(n, from);
  ASSERT_TRUE(test::wait_until([&] { return client.socket.receive_from(&n, 4, &from) == 4; }));
  const auto round_trip = SteadyClock::now() - sent;
  EXPECT_GE(round_trip, std::chrono::milliseconds(120));
  // Generous: a loaded machine may be slow, but not by seconds.
  EXPECT_LT(round_trip, std::chrono::milliseconds(2000));
}
