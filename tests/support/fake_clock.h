#pragma once

#include <atomic>
#include <cstdint>

#include "transport/steady_clock.h"

// A clock that moves only when the test says so. A thread waiting on it for a
// deadline looks at it again every millisecond, so time moved by the test is
// seen at once; waits without a deadline block as they would in the product.
class FakeClock : public Clock {
 public:
  explicit FakeClock(std::int64_t start_ms = 1000000) : ns_(start_ms * 1000000) {}
  std::int64_t now_ns() const override { return ns_; }
  int wait_ms(std::int64_t deadline_ns) const override {
    if (deadline_ns == kNoDeadline) return -1;
    return deadline_ns <= ns_ ? 0 : 1;
  }
  void advance_ms(std::int64_t ms) { ns_ += ms * 1000000; }
  void set_ms(std::int64_t ms) { ns_ = ms * 1000000; }

 private:
  std::atomic<std::int64_t> ns_;
};
