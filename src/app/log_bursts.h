#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Keeps bursts of one line out of a log: a line that comes again within a
// second of its last coming is held back and counted, and when the burst
// ends one summary line says how often: "Repeated 41 more times: <line>".
// Several lines may repeat in turn (a HELLO line, then its refusal). Not
// thread-safe: the log writer calls it under its lock.
class LogBursts {
 public:
  static constexpr std::int64_t kWindowMs = 1000;
  static constexpr std::size_t kTracked = 8;

  // The lines to write now for `line` arriving at now_ms: none while it
  // repeats, else the summaries of bursts that have ended, then the line.
  std::vector<std::string> on_line(const std::string& line, std::int64_t now_ms);
  // The summaries of bursts that ended before now_ms (all, when `all`).
  std::vector<std::string> flush(std::int64_t now_ms, bool all = false);

 private:
  struct Recent {
    std::string line;
    std::int64_t last_ms = 0;
    std::uint64_t held = 0;
  };
  void close(Recent& recent, std::vector<std::string>& out);

  std::vector<Recent> recent_;  // oldest first
};
