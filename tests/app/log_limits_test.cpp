#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/log_bursts.h"
#include "app/logs.h"
#include "support/test_support.h"

using Lines = std::vector<std::string>;

TEST(LogBursts, ARepeatedLineIsWrittenOnceAndSummedUpWhenItsBurstEnds) {
  LogBursts bursts;
  EXPECT_EQ(bursts.on_line("HELLO a", 0), Lines{"HELLO a"});
  EXPECT_EQ(bursts.on_line("denied a", 1), Lines{"denied a"});
  for (std::int64_t t = 2; t < 1800; t += 300) {  // interleaved, each within a second
    EXPECT_EQ(bursts.on_line("HELLO a", t), Lines{});
    EXPECT_EQ(bursts.on_line("denied a", t + 1), Lines{});
  }
  EXPECT_EQ(bursts.on_line("other", 2000), Lines{"other"});
  EXPECT_EQ(bursts.flush(2503), (Lines{"Repeated 6 more times: HELLO a"}));
  EXPECT_EQ(bursts.on_line("denied a", 2900),
            (Lines{"Repeated 6 more times: denied a", "denied a"}));
  for (int i = 0; i < 9; ++i) bursts.on_line("line " + std::to_string(i), 3000);
  bursts.on_line("line 8", 3001);
  EXPECT_EQ(bursts.flush(3002, /*all=*/true), Lines{"Repeated 1 more times: line 8"});
}

TEST(Logs, AFloodOfLinesKeepsEachLogAndItsPreviousFileUnderTheCap) {
  test::AppDataScope app_data;
  const std::string filler(180, 'x');
  for (int i = 0; i < 8000; ++i) connection_logf("line %05d %s", i, filler.c_str());
  const Lines current = test::log_lines(app_data, "connection.log");
  const Lines previous = test::log_lines(app_data, "connection.old.log");
  for (const char* name : {"connection.log", "connection.old.log"}) {
    const auto bytes = test::read_file_bytes(app_data.tovik_path(name));
    ASSERT_TRUE(bytes) << name;
    EXPECT_LE(bytes->size(), 512u * 1024) << name;
  }
  ASSERT_FALSE(current.empty());
  ASSERT_FALSE(previous.empty());
  EXPECT_EQ(current.back(), "line 07999 " + filler);
  // No line is lost between the two files.
  EXPECT_EQ(std::stoi(previous.back().substr(5)) + 1, std::stoi(current.front().substr(5)));
}
