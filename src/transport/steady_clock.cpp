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

const Clock& system_steady_clock() {
  static const SystemSteadyClock clock;
  return clock;
}

std::int64_t steady_ms() { return system_steady_clock().now_ms(); }
