#include "transport/stop_signal.h"

#include <chrono>

void StopSignal::arm() {
  std::lock_guard<std::mutex> lock(mutex_);
  running_ = true;
}

void StopSignal::stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = false;
  }
  wake_.notify_all();
}

bool StopSignal::running() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return running_;
}

bool StopSignal::sleep_until(const Clock& clock, std::int64_t deadline_ns) {
  std::unique_lock<std::mutex> lock(mutex_);
  while (running_) {
    const int ms = clock.wait_ms(deadline_ns);
    if (ms == 0) return true;
    if (ms < 0) {
      wake_.wait(lock);
    } else {
      wake_.wait_for(lock, std::chrono::milliseconds(ms));
    }
  }
  return false;
}
