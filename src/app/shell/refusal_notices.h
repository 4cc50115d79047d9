#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "transport/refused_hello.h"

// Which refused receivers the user is told about: the first refusal from a
// source address at once, then at most one a minute from that source; and
// at most three notices in any minute in all, so forged addresses cannot
// bury the desktop in balloons. Called from one thread at a time.
class RefusalNotices {
 public:
  static constexpr std::int64_t kPerSourceMs = 60000;
  static constexpr int kBurst = 3;
  static constexpr std::int64_t kRefillMs = 20000;
  static constexpr std::size_t kSources = 32;

  // Whether a refusal from `source_ip` at now_ms is shown.
  bool should_show(std::uint32_t source_ip, std::int64_t now_ms);

 private:
  struct Shown {
    std::uint32_t ip;
    std::int64_t at_ms;
  };
  std::vector<Shown> shown_;  // most recent last
  std::int64_t credit_ms_ = kBurst * kRefillMs;
  std::int64_t refilled_ms_ = 0;
  bool started_ = false;
};

// The notice's text: "Refused a connection from 'Phone' (10.77.0.3): no
// pairing code" (or ": wrong pairing code"); the name made safe to show.
std::string refusal_notice_text(const tovik::RefusedHello& refused);
