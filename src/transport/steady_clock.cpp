#include "transport/steady_clock.h"

#include <chrono>

namespace {

class SystemSteadyClock final : public Clock {
 public:
  std::int64_t now_ns() const override {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};

}  // namespace

int Clock::wait_ms(std::int64_t deadline_ns) const {
  if (deadline_ns == kNoDeadline) return -1;
  const std::int64_t left_ns = deadline_ns - now_ns();
  if (left_ns <= 0) return 0;
  const std::int64_t ms = (left_ns + 999999) / 1000000;
  return ms > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                              : static_cast<int>(ms);
}

const Clock& system_steady_clock() {
  static const SystemSteadyClock clock;
  return clock;
}

std::int64_t steady_ms() { return system_steady_clock().now_ms(); }
