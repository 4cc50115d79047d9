// The announcement period a receiver relies on, on a fake clock.
#include <gtest/gtest.h>

#include <chrono>

#include "discovery/service_discovery.h"
#include "discovery_test_support.h"
#include "support/fake_clock.h"

TEST(Broadcaster, AnnouncesEveryTwoSecondsOfItsClockAndStopsAtOnce) {
  test::AppDataScope app_data;
  FakeClock clock;
  test::LoopbackPeer sink(150);  // a receive that finds nothing gives up after 150 ms
  DiscoveryConfig config;
  config.port = sink.port();
  config.broadcast_ip = kIpv4Loopback;
  config.clock = &clock;
  auto broadcaster = std::move(ServiceDiscovery::create(config).object);
  ASSERT_EQ(broadcaster->start_broadcasting("Tovik PC", 19483, "id-1"), ErrorCode::Ok);
  std::string text;
  ASSERT_TRUE(test::wait_until([&] { return sink.receive(&text); }));
  EXPECT_EQ(text, "TOVIK|Tovik PC|19483|id-1");
  for (int period = 0; period < 2; ++period) {
    clock.advance_ms(1999);
    EXPECT_FALSE(sink.receive(&text)) << "announced before 2 s had passed";
    clock.advance_ms(1);
    EXPECT_TRUE(test::wait_until([&] { return sink.receive(&text); }));
  }
  const auto start = std::chrono::steady_clock::now();
  broadcaster->stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}
