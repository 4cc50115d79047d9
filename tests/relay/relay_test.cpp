#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "relay.h"
#include "support/test_support.h"

namespace {

struct Tally {
  int dropped = 0, duplicated = 0, held = 0, lo = 1 << 30, hi = -1;
  std::vector<int> delays;
};

Tally draw(const Impairment& impairment, std::uint64_t seed) {
  RelayRandom random(seed);
  Tally t;
  for (int k = 0; k < 20000; ++k) {
    const std::vector<int> copies = impair(impairment, random);
    t.dropped += copies.empty();
    t.duplicated += copies.size() == 2;
    for (int d : copies) {
      t.held += d > impairment.delay_ms + impairment.jitter_ms;
      t.lo = std::min(t.lo, d);
      t.hi = std::max(t.hi, d);
      t.delays.push_back(d);
    }
  }
  return t;
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
  const Tally none = draw(Impairment{}, 7);
  EXPECT_EQ(none.delays, std::vector<int>(20000, 0));
  const Impairment impairment{10, 15, 20, 3, 40, 5};
  const Tally t = draw(impairment, 1234);
  // Binomial bounds of about five standard deviations.
  EXPECT_NEAR(t.dropped, 2000, 220);
  EXPECT_NEAR(t.duplicated, 900, 150);  // 5 % of those kept
  EXPECT_NEAR(t.held, 560, 120);        // 3 % of the copies
  EXPECT_EQ(t.lo, 15);
  EXPECT_EQ(t.hi, 15 + 20 + 40);
  EXPECT_EQ(draw(impairment, 1234).delays, t.delays);
  EXPECT_NE(draw(impairment, 1235).delays, t.delays);
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
  relay.stop();
  EXPECT_EQ(std::vector<std::uint64_t>(
                {relay.received(0), relay.sent(0), relay.received(1), relay.sent(1)}),
            std::vector<std::uint64_t>({3, 3, 1, 1}));
}
