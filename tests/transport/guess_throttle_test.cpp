#include "transport/guess_throttle.h"

#include <gtest/gtest.h>

#include <vector>

#include "transport/receiver_memory.h"

TEST(GuessThrottle, FiveFailuresPerSourceThenLockoutsDoublingToAQuarterHourForgottenAfterAnHour) {
  GuessThrottle throttle;
  std::int64_t now = 0;
  const std::pair<std::int64_t, std::int64_t> rounds[] = {
      // quiet before, lockout
      {0, 30000},  {0, 60000},  {0, 120000},       {0, 240000},     {0, 480000},
      {0, 900000}, {0, 900000}, {3600000, 900000}, {3600001, 30000}};
  for (const auto& [quiet, lockout] : rounds) {
    now += quiet;
    for (int i = 0; i < 5; ++i) {
      ASSERT_TRUE(throttle.allows(7, now)) << lockout << " " << i;
      throttle.failed(7, now);
    }
    EXPECT_FALSE(throttle.allows(7, now + lockout - 1)) << lockout;
    now += lockout;
  }
  EXPECT_TRUE(throttle.allows(7, now));
  throttle.succeeded(7);  // the right code forgives: the next lockout is the first again
  for (int i = 0; i < 5; ++i) throttle.failed(7, now);
  EXPECT_TRUE(throttle.allows(7, now + 30000));
}

// Forged source addresses buy nothing: all sources together get ten
// failures, then one per 15 s.
TEST(GuessThrottle, AllSourcesShareTenFailuresThenOnePerQuarterMinute) {
  GuessThrottle throttle;
  std::uint32_t ip = 1;
  for (; ip <= 10; ++ip) {
    ASSERT_TRUE(throttle.allows(ip, 0)) << ip;
    throttle.failed(ip, 0);
  }
  for (std::int64_t refill = 15000; refill <= 45000; refill += 15000) {
    EXPECT_FALSE(throttle.allows(ip, refill - 1)) << refill;
    ASSERT_TRUE(throttle.allows(ip, refill)) << refill;
    throttle.failed(ip++, refill);
  }
}

TEST(ReceiverMemory, KeepsTheTenLatestFitIdsAndRecordsAtMostOnceAMinute) {
  ReceiverMemory memory({"rx-0", "bad\"id", "rx-1", "rx-2", "rx-3", "rx-4", "rx-5", "rx-6", "rx-7",
                         "rx-8", "rx-9", "rx-10"});
  EXPECT_FALSE(memory.contains("rx-0"));  // the eleventh fit id, the oldest
  EXPECT_TRUE(memory.remember("rx-1", 0));
  EXPECT_FALSE(memory.remember("rx-1", 59999));
  EXPECT_TRUE(memory.remember("rx-1", 60000));
  EXPECT_TRUE(memory.remember("rx-new", 60000));  // forgets rx-2, seen least recently
  EXPECT_FALSE(memory.contains("rx-2"));
  EXPECT_TRUE(memory.contains("rx-3"));
  EXPECT_TRUE(can_remember_receiver(std::string(64, 'x'), "Kitchen"));
  for (const std::string& id : std::vector<std::string>{"", "Kitchen", "a}b", "caf\xC3\xA9",
                                                        std::string(65, 'x'), "rx-tovik-receive"}) {
    EXPECT_FALSE(can_remember_receiver(id, "Kitchen")) << id;
  }
}

TEST(ReceiverMemory, NamesAreCleanedAndCutTo64BytesBetweenCharacters) {
  const std::string a62(62, 'a');
  const std::pair<std::string, std::string> names[] = {
      {a62 + "bc" + "d", a62 + "bc"},
      {a62 + "\xC3\xA9" + "d", a62 + "\xC3\xA9"},
      {a62 + "b\xC3\xA9", a62 + "b"},
      {a62 + "\x01\x7F\"\\{}\xC2\x9B" + "bc", a62 + "bc"},
      {"K\xC2\xA0"
       "che",
       "K\xC2\xA0"
       "che"},
  };
  for (const auto& [name, shown] : names) EXPECT_EQ(safe_receiver_name(name), shown) << name;
}
