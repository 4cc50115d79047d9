#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "transport/steady_clock.h"

// A running flag that a worker thread sleeps on: its sleeps end at a deadline
// on a Clock or at once when the owner stops it, so a stopped thread is never
// woken for nothing and a stop never waits for a sleep to run out.
class StopSignal {
 public:
  // Marks the worker as running (before the thread starts).
  void arm();
  // Clears the flag and wakes every sleeper. Safe from any thread.
  void stop();
  bool running() const;
  // Sleeps until deadline_ns on clock (kNoDeadline: until stopped). False
  // when stopped, at once or during the sleep.
  bool sleep_until(const Clock& clock, std::int64_t deadline_ns);

 private:
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool running_ = false;
};
