#include "transport/guess_throttle.h"

#include <gtest/gtest.h>

#include <vector>

#include "transport/receiver_memory.h"

TEST(GuessThrottle, ASourceGetsAFewTriesThenLockoutsThatDouble) {
  GuessThrottle throttle;
  std::int64_t now = 0;
  for (std::int64_t lockout : {30000, 60000, 120000}) {
    for (int i = 0; i < GuessThrottle::kFreeFailures; ++i) {
      ASSERT_TRUE(throttle.allows(7, now)) << lockout << " " << i;
      throttle.failed(7, now);
    }
    EXPECT_FALSE(throttle.allows(7, now + lockout - 1));
    EXPECT_TRUE(throttle.allows(8, now));  // other sources are not affected
    now += lockout;
  }
  throttle.succeeded(7);  // the right code forgives
  for (int i = 0; i < GuessThrottle::kFreeFailures - 1; ++i) throttle.failed(7, now);
  EXPECT_TRUE(throttle.allows(7, now));
}

// A new forged source address for every guess, one a second for a day:
// only the budget limits it, and 500000 guesses (half of the codes) take
// months.
TEST(GuessThrottle, ForgedSourcesGuessNoFasterThanTheBudgetAllows) {
  GuessThrottle throttle;
  int guesses = 0;
  for (std::int64_t now = 0; now < 86400000; now += 1000) {
    const auto ip = static_cast<std::uint32_t>(now);
    if (throttle.allows(ip, now)) throttle.failed(ip, now), ++guesses;
  }
  EXPECT_LE(guesses, 86400000 / GuessThrottle::kRefillMs + GuessThrottle::kBudget);
  EXPECT_GE(500000 / guesses, 60);  // days
}

TEST(ReceiverMemory, KeepsTheTenLatestFitIdsAndRecordsAtMostOnceAMinute) {
  ReceiverMemory memory({"rx-0", "bad\"id", "rx-1", "rx-2", "rx-3", "rx-4", "rx-5", "rx-6", "rx-7",
                         "rx-8", "rx-9", "rx-10"});
  EXPECT_FALSE(memory.contains("rx-0"));  // the eleventh fit id, the oldest
  EXPECT_FALSE(memory.contains("bad\"id"));
  EXPECT_TRUE(memory.remember("rx-1", 0));
  EXPECT_FALSE(memory.remember("rx-1", 59999));
  EXPECT_TRUE(memory.remember("rx-1", 60000));
  EXPECT_TRUE(memory.remember("rx-new", 60000));  // forgets rx-2, seen least recently
  EXPECT_FALSE(memory.contains("rx-2"));
  EXPECT_TRUE(can_remember_receiver("rx-0123456789abcdef", "Kitchen"));
  for (const std::string& id : std::vector<std::string>{"", "Kitchen", "a}b", "caf\xC3\xA9",
                                                        std::string(65, 'x'), "rx-tovik-receive"}) {
    EXPECT_FALSE(can_remember_receiver(id, "Kitchen")) << id;
  }
  EXPECT_EQ(safe_receiver_name(std::string(63, 'a') + "\xC3\xA9\xC2\x9B"), std::string(63, 'a'));
}
