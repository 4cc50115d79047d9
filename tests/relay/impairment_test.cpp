#include <gtest/gtest.h>

#include <tuple>

#include "impairment.h"
#include "relay_options.h"
#include "relay_random.h"

namespace {

RelayCounts run_decisions(const Impairment& impairment, int count, std::uint64_t seed,
                          int* min_delay, int* max_delay) {
  RelayRandom random(seed);
  RelayCounts counts;
  *min_delay = 1 << 30;
  *max_delay = -1;
  for (int k = 0; k < count; ++k) {
    ImpairmentDecision d = decide_impairment(impairment, random);
    count_decision(d, &counts);
    counts.forwarded += static_cast<std::uint64_t>(d.copies);
    for (int c = 0; c < d.copies; ++c) {
      *min_delay = std::min(*min_delay, d.delay_ms[c]);
      *max_delay = std::max(*max_delay, d.delay_ms[c]);
    }
  }
  return counts;
}

}  // namespace

TEST(Impairment, CountsFollowThePercentagesAndTheSeedRepeatsThem) {
  int lo = 0, hi = 0;
  RelayCounts none = run_decisions(Impairment{}, 1000, 7, &lo, &hi);
  EXPECT_EQ(none.forwarded, 1000u);
  EXPECT_EQ(none.dropped + none.duplicated + none.reordered, 0u);
  EXPECT_EQ(hi, 0);
  Impairment impairment;
  impairment.drop_percent = 10;
  impairment.duplicate_percent = 5;
  impairment.reorder_percent = 3;
  impairment.reorder_ms = 40;
  impairment.delay_ms = 15;
  impairment.jitter_ms = 20;
  RelayCounts counts = run_decisions(impairment, 20000, 1234, &lo, &hi);
  // Binomial bounds of about five standard deviations.
  EXPECT_NEAR(static_cast<double>(counts.dropped), 2000, 220);
  EXPECT_NEAR(static_cast<double>(counts.duplicated), 900, 150);  // 5 % of those kept
  EXPECT_NEAR(static_cast<double>(counts.reordered), 540, 120);
  EXPECT_EQ(counts.forwarded, counts.received - counts.dropped + counts.duplicated);
  EXPECT_EQ(lo, 15);
  EXPECT_EQ(hi, 15 + 20 + 40);
  RelayCounts again = run_decisions(impairment, 20000, 1234, &lo, &hi);
  EXPECT_EQ(std::make_tuple(again.dropped, again.duplicated, again.reordered),
            std::make_tuple(counts.dropped, counts.duplicated, counts.reordered));
  RelayCounts other = run_decisions(impairment, 20000, 1235, &lo, &hi);
  EXPECT_NE(other.dropped, counts.dropped);
}

TEST(RelayOptions, ParsesAddressesAndKnobs) {
  std::string error;
  auto config =
      parse_relay_options({"--server", "127.0.0.1:19483", "--listen", "5000", "--drop", "10",
                           "--jitter", "20", "--direction", "to-client", "--seed", "5"},
                          &error);
  ASSERT_TRUE(config) << error;
  EXPECT_EQ(config->server.ip, kIpv4Loopback);
  EXPECT_EQ(config->server.port, 19483);
  EXPECT_EQ(config->listen_port, 5000);
  EXPECT_EQ(config->seed, 5u);
  EXPECT_EQ(config->to_client.drop_percent, 10);
  EXPECT_EQ(config->to_client.jitter_ms, 20);
  EXPECT_EQ(config->to_server.drop_percent, 0);

  EXPECT_FALSE(parse_relay_options({"--drop", "10"}, &error));
  EXPECT_FALSE(parse_relay_options({"--server", "1.2.3:4"}, &error));
  EXPECT_FALSE(parse_relay_options({"--server", "127.0.0.1:70000"}, &error));
  EXPECT_FALSE(parse_relay_options({"--server", "127.0.0.1:9", "--drop"}, &error));
  EXPECT_FALSE(parse_relay_options({"--server", "127.0.0.1:9", "--direction", "up"}, &error));
  EXPECT_FALSE(parse_relay_options({"--server", "127.0.0.1:9", "--bogus", "1"}, &error));
}
