#include "app/logs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace {

std::string lines(std::initializer_list<const char*> texts) {
  std::string out;
  for (const char* text : texts) out += std::string(text) + test::text_line_end();
  return out;
}

}  // namespace

TEST(Logs, EachWriterAppendsExactLinesToItsOwnFile) {
  test::AppDataScope app_data;
  debug_log("abc");
  debug_log("=== Tovik starting ===");
  connection_log("Audio socket bound to port 19483");
  discovery_log("listen_loop: NEW service \xE2\x80\x94 calling on_found callback");

  EXPECT_EQ(test::read_file_bytes(app_data.tovik_path("debug.log")),
            std::string("abc") + (test::text_line_end()[0] == '\r' ? "\r\n" : "\n") +
                "=== Tovik starting ===" + test::text_line_end());
  EXPECT_EQ(test::read_file_bytes(app_data.tovik_path("connection.log")),
            lines({"Audio socket bound to port 19483"}));
  EXPECT_EQ(test::read_file_bytes(app_data.tovik_path("discovery.log")),
            lines({"listen_loop: NEW service \xE2\x80\x94 calling on_found callback"}));
}

TEST(Logs, LinesAreLostWhileTheFolderDoesNotExist) {
  test::AppDataScope app_data(/*create_tovik_folder=*/false);
  debug_log("=== Tovik starting ===");
  EXPECT_FALSE(test::file_exists(app_data.tovik_path()));
  std::filesystem::create_directories(app_data.tovik_path());
  debug_log("Calling StreamManager::create...");
  EXPECT_EQ(test::read_file_bytes(app_data.tovik_path("debug.log")),
            lines({"Calling StreamManager::create..."}));
}

TEST(Logs, FormattedLinesAreCutTo511Bytes) {
  test::AppDataScope app_data;
  std::string long_name(600, 'x');
  connection_logf("Connection denied for '%s'", long_name.c_str());
  discovery_logf("broadcast sent #%d (bytes=%d)", 30, -1);
  connection_logf("Connection timeout \xE2\x80\x94 no packets for %lldms, disconnecting",
                  static_cast<long long>(5012));

  std::string expected = ("Connection denied for '" + long_name).substr(0, 511);
  EXPECT_EQ(test::read_file_bytes(app_data.tovik_path("connection.log")),
            expected + test::text_line_end() +
                "Connection timeout \xE2\x80\x94 no packets for 5012ms, disconnecting" +
                test::text_line_end());
  EXPECT_EQ(test::read_file_bytes(app_data.tovik_path("discovery.log")),
            lines({"broadcast sent #30 (bytes=-1)"}));
}

TEST(Logs, ConcurrentWritersNeverInterleaveLines) {
  test::AppDataScope app_data;
  constexpr int kThreads = 4;
  constexpr int kLines = 200;
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) connection_logf("writer %d line %03d", t, i);
    });
  }
  for (auto& writer : writers) writer.join();

  std::string text = *test::read_file_bytes(app_data.tovik_path("connection.log"));
  std::string line_end = test::text_line_end();
  int count = 0;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t end = text.find(line_end, pos);
    ASSERT_NE(end, std::string::npos);
    std::string line = text.substr(pos, end - pos);
    EXPECT_EQ(line.rfind("writer ", 0), 0u) << line;
    EXPECT_EQ(line.size(), std::string("writer 0 line 000").size()) << line;
    pos = end + line_end.size();
    ++count;
  }
  EXPECT_EQ(count, kThreads * kLines);
}
