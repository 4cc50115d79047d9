#include "engine/capture_wait_policy.h"

#include <algorithm>

void CaptureWaitPolicy::restart() {
  signalled_ = false;
  poll_ms_ = kPollMs;
}

void CaptureWaitPolicy::after_wait(bool signalled, bool found_packets) {
  if (signalled) {
    signalled_ = true;
    return;
  }
  if (found_packets) {
    // Audio without a signal: the device does not signal (any more).
    signalled_ = false;
    poll_ms_ = kPollMs;
  } else if (!signalled_) {
    poll_ms_ = std::min(2 * poll_ms_, kMaxPollMs);
  }
}
