#pragma once

#include <atomic>
#include <cstdint>

#include "transport/steady_clock.h"

// A clock that moves only when the test says so.
class FakeClock : public Clock {
 public:
  explicit FakeClock(std::int64_t start_ms = 1000000) : ns_(start_ms * 1000000) {}
  std::int64_t now_ns() const override { return ns_; }
  void advance_ms(std::int64_t ms) { ns_ += ms * 1000000; }
  void set_ms(std::int64_t ms) { ns_ = ms * 1000000; }

 private:
  std::atomic<std::int64_t> ns_;
};
