#include <gtest/gtest.h>

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

TEST(RelayRandom, SameSeedSameSequenceAndUniformRange) {
  RelayRandom a(42), b(42), c(43);
  bool differs = false;
  for (int k = 0; k < 1000; ++k) {
    const std::uint64_t x = a.next();
    EXPECT_EQ(x, b.next());
    differs = differs || x != c.next();
  }
  EXPECT_TRUE(differs);
  double sum = 0;
  for (int k = 0; k < 10000; ++k) {
    const double u = a.uniform();
    ASSERT_GE(u, 0.0);
    ASSERT_LT(u, 1.0);
    sum += u;
  }
  EXPECT_NEAR(sum / 10000, 0.5, 0.02);
  for (int k = 0; k < 1000; ++k) EXPECT_LE(a.up_to(7), 7);
  EXPECT_EQ(a.up_to(0), 0);
}

TEST(Impairment, NoneForwardsEverythingAtOnce) {
  int lo = 0, hi = 0;
  RelayCounts counts = run_decisions(Impairment{}, 1000, 7, &lo, &hi);
  EXPECT_EQ(counts.received, 1000u);
  EXPECT_EQ(counts.forwarded, 1000u);
  EXPECT_EQ(counts.dropped + counts.duplicated + counts.reordered, 0u);
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 0);
}

TEST(Impairment, CountsFollowThePercentagesWithinStatisticalBounds) {
  Impairment impairment;
  impairment.drop_percent = 10;
  impairment.duplicate_percent = 5;
  impairment.reorder_percent = 3;
  impairment.reorder_ms = 40;
  impairment.delay_ms = 15;
  impairment.jitter_ms = 20;
  int lo = 0, hi = 0;
  RelayCounts counts = run_decisions(impairment, 20000, 1234, &lo, &hi);
  // Binomial bounds of about five standard deviations.
  EXPECT_NEAR(static_cast<double>(counts.dropped), 2000, 220);
  EXPECT_NEAR(static_cast<double>(counts.duplicated), 900, 150);  // 5 % of those kept
  EXPECT_NEAR(static_cast<double>(counts.reordered), 540, 120);
  EXPECT_EQ(counts.forwarded, counts.received - counts.dropped + counts.duplicated);
  EXPECT_EQ(lo, 15);
  EXPECT_EQ(hi, 15 + 20 + 40);
}

TEST(Impairment, SameSeedGivesTheSameDecisions) {
  Impairment impairment;
  impairment.drop_percent = 30;
  impairment.jitter_ms = 9;
  RelayRandom a(99), b(99);
  for (int k = 0; k < 500; ++k) {
    ImpairmentDecision x = decide_impairment(impairment, a);
    ImpairmentDecision y = decide_impairment(impairment, b);
    ASSERT_EQ(x.copies, y.copies);
    ASSERT_EQ(x.delay_ms[0], y.delay_ms[0]);
  }
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
