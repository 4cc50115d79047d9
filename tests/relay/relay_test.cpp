#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "relay.h"
#include "support/test_support.h"

namespace {

// The delays of 20000 datagrams, -1 for those dropped.
std::vector<int> draw(const Impairment& impairment, std::uint64_t seed) {
  RelayRandom random(seed);
  std::vector<int> delays(20000);
  for (int& delay : delays) delay = impair(impairment, random);
  return delays;
}

// A loopback socket on a port of the system's choosing.
struct Endpoint {
  UdpSocket socket;
  Endpoint() {
    UdpSocket::startup();
    socket.open();
    socket.bind(kIpv4Loopback, 0);
  }
  std::uint32_t receive(SocketAddress* from) {
    std::uint32_t n = 0;
    return socket.receive_from(&n, sizeof n, from, 10000) == sizeof n ? n : 0;
  }
};

}  // namespace

TEST(Impairment, FollowsThePercentagesAndRepeatsWithTheSeed) {
  EXPECT_EQ(draw(Impairment{}, 7), std::vector<int>(20000, 0));
  const Impairment impairment{10, 15, 20, 3, 40};
  const std::vector<int> delays = draw(impairment, 1234);
  const auto count = [&](int from, int to) {
    return std::count_if(delays.begin(), delays.end(), [&](int d) { return d >= from && d <= to; });
  };
  // Binomial bounds of about five standard deviations.
  EXPECT_NEAR(count(-1, -1), 2000, 220);  // dropped
  EXPECT_NEAR(count(55, 75), 540, 120);   // held back: 3 % of those kept
  EXPECT_EQ(count(15, 35) + count(55, 75) + count(-1, -1), 20000);
  EXPECT_GT(count(15, 15) * count(35, 35) * count(55, 55) * count(75, 75), 0);
  EXPECT_EQ(draw(impairment, 1234), delays);
  EXPECT_NE(draw(impairment, 1235), delays);
}

TEST(ImpairmentRelay, DelaysBothWaysInOrderAndAnswersTheClient) {
  Endpoint server, client;
  RelayConfig config;
  config.server = {kIpv4Loopback, server.socket.local_port()};
  config.to_server.delay_ms = 60;
  config.to_client.delay_ms = 60;
  ImpairmentRelay relay(config);
  ASSERT_EQ(relay.start(), ErrorCode::Ok);
  const SocketAddress relay_address{kIpv4Loopback, relay.port()};
  const auto sent = std::chrono::steady_clock::now();
  for (std::uint32_t n = 1; n <= 3; ++n) client.socket.send_to(&n, sizeof n, relay_address);
  SocketAddress from;
  for (std::uint32_t n = 1; n <= 3; ++n) ASSERT_EQ(server.receive(&from), n);
  EXPECT_NE(from.port, client.socket.local_port());
  const std::uint32_t reply = 101;
  server.socket.send_to(&reply, sizeof reply, from);
  ASSERT_EQ(client.receive(&from), reply);
  EXPECT_EQ(from.port, relay.port());
  EXPECT_GE(std::chrono::steady_clock::now() - sent, std::chrono::milliseconds(120));
}
