#pragma once

#include <cstdint>

// Monotonic time. The session's timers read it through this seam so tests can
// move time forward without waiting; waits themselves stay on real time.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::int64_t now_ns() const = 0;
  std::int64_t now_ms() const { return now_ns() / 1000000; }
};

// The system's monotonic clock.
const Clock& system_steady_clock();

// Whole milliseconds of the system's monotonic clock, truncated.
std::int64_t steady_ms();
