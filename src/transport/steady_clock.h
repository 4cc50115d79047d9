#pragma once

#include <cstdint>
#include <limits>

// A deadline that never comes: a wait that only an event or a stop ends.
constexpr std::int64_t kNoDeadline = std::numeric_limits<std::int64_t>::max();

// Monotonic time. Every timer of the session, the discovery and the engine
// reads it through this seam and asks it how long to wait, so a test clock
// drives the periods without anyone waiting for them in real time.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::int64_t now_ns() const = 0;
  std::int64_t now_ms() const { return now_ns() / 1000000; }
  // Real milliseconds a thread waiting for deadline_ns (on this clock) may
  // block before it reads the clock again: -1 for kNoDeadline, 0 once the
  // deadline has passed. Rounded up, so a wait never ends just short of it.
  virtual int wait_ms(std::int64_t deadline_ns) const;
};

// The system's monotonic clock.
const Clock& system_steady_clock();

// Whole milliseconds of the system's monotonic clock, truncated.
std::int64_t steady_ms();
