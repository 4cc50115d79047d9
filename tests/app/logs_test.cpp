#include "app/logs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <thread>

#include "app/log_bursts.h"
#include "support/test_support.h"

TEST(Logs, EachWriterAppendsExactLinesToItsOwnFileOnceTheFolderExists) {
  test::AppDataScope app_data(/*create_tovik_folder=*/false);
  debug_log("=== Tovik starting ===");  // lost: the writers never make the folder
  EXPECT_FALSE(std::filesystem::exists(app_data.tovik_path()));
  std::filesystem::create_directories(app_data.tovik_path());
  debug_log("abc");
  const std::string name(600, 'x');
  connection_logf("Connection denied for '%s'", name.c_str());  // cut to 511 bytes
  connection_logf("Connection timeout \xE2\x80\x94 no packets for %lldms, disconnecting", 5012LL);
  for (int i = 0; i < 3; ++i) discovery_logf("broadcast sent #%d (bytes=%d)", 30, -1);
  flush_log_bursts(/*all=*/true);
  const std::string end = test::text_line_end();
  EXPECT_EQ(test::read_file_bytes(app_data.tovik_path("debug.log")), "abc" + end);
  EXPECT_EQ(test::read_file_bytes(app_data.tovik_path("connection.log")),
            ("Connection denied for '" + name).substr(0, 511) + end +
                "Connection timeout \xE2\x80\x94 no packets for 5012ms, disconnecting" + end);
  EXPECT_EQ(test::read_file_bytes(app_data.tovik_path("discovery.log")),
            "broadcast sent #30 (bytes=-1)" + end +
                "Repeated 2 more times: broadcast sent #30 (bytes=-1)" + end);
}

// Four writers flood one log: it and its previous file stay under the cap,
// and each writer's lines come whole, in order, none lost between the files.
TEST(Logs, ConcurrentFloodsKeepWholeLinesAndTheCap) {
  test::AppDataScope app_data;
  const std::string filler(180, 'x');
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([t, &filler] {
      for (int i = 0; i < 2000; ++i) connection_logf("%d %05d %s", t, i, filler.c_str());
    });
  }
  for (std::thread& writer : writers) writer.join();
  std::vector<std::string> lines = test::log_lines(app_data, "connection.old.log");
  const std::vector<std::string> current = test::log_lines(app_data, "connection.log");
  lines.insert(lines.end(), current.begin(), current.end());
  std::map<int, int> next;  // of each writer, the line that comes next
  for (const std::string& line : lines) {
    const int t = std::stoi(line), i = std::stoi(line.substr(2));
    EXPECT_EQ(i, next.count(t) ? next[t] : i) << line.substr(0, 8);
    next[t] = i + 1;
    ASSERT_EQ(line, line.substr(0, 8) + filler);
  }
  EXPECT_EQ(next, (std::map<int, int>{{0, 2000}, {1, 2000}, {2, 2000}, {3, 2000}}));
  const auto size = [&](const char* name) {
    return test::read_file_bytes(app_data.tovik_path(name)).value_or("").size();
  };
  EXPECT_LE(size("connection.log"), 512u * 1024);
  EXPECT_LE(size("connection.old.log"), 512u * 1024);
  EXPECT_GT(size("connection.old.log"), 512u * 1024 - 200);  // turned old at the cap
}

TEST(LogBursts, ALineRepeatedWithinASecondIsHeldAndSummedUpWhenItsBurstEnds) {
  LogBursts bursts;
  std::string out;
  const auto add = [&](const std::vector<std::string>& lines) {
    for (const std::string& line : lines) out += line + "|";
  };
  add(bursts.on_line("HELLO a", 0));
  add(bursts.on_line("denied a", 1));
  for (std::int64_t t = 2; t < 1800; t += 300) {  // interleaved, each within a second
    add(bursts.on_line("HELLO a", t));
    add(bursts.on_line("denied a", t + 1));
  }
  add(bursts.on_line("other", 2000));
  add(bursts.flush(2503));  // HELLO a's last came 1001 ms ago, denied a's 1000 ms ago
  out += "/";
  add(bursts.on_line("denied a", 2900));
  EXPECT_EQ(out,
            "HELLO a|denied a|other|Repeated 6 more times: HELLO a|/Repeated 6 more times: denied "
            "a|denied a|");
}
