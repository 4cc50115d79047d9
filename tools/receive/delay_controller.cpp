#include "delay_controller.h"

#include <algorithm>
#include <cmath>

#include "audio_format.h"

void DelayController::on_decoded(double slack_ms) {
  base_ms_[next_] = slack_ms - correction_ms_;
  next_ = (next_ + 1) % kWindow;
  count_ = std::min(count_ + 1, kWindow);
}

bool DelayController::estimate(double* slack_ms) const {
  if (count_ == 0) return false;
  // The 90th percentile rather than the maximum: one frame decided late
  // (a stalled thread) must not set the delay for the next seconds.
  double sorted[kWindow];
  std::copy(base_ms_, base_ms_ + count_, sorted);
  const int high = count_ - 1 - count_ / 10;
  std::nth_element(sorted, sorted + high, sorted + count_);
  *slack_ms = sorted[high] + correction_ms_;
  return true;
}

DelayController::Action DelayController::decide(double target_ms) {
  Action action;
  double slack = 0;
  if (!estimate(&slack)) return action;
  const double error = slack - target_ms;
  const double magnitude = std::fabs(error);
  if (error > kDropAboveMs || error < -kInsertBelowMs) {
    action.drop_frame = error > 0;
    action.insert_frame = error < 0;
    corrected(error > 0 ? -kFrameMs : kFrameMs);
    correcting_ = true;
    return action;
  }
  // A moment's jitter moves the estimate too; only an error that lasts is
  // drift (0.01 % drift is 0.1 ms a second), and stretching costs quality.
  beyond_deadband_ = magnitude > kDeadbandMs ? beyond_deadband_ + 1 : 0;
  if (correcting_) {
    correcting_ = magnitude > kSettledMs;
  } else {
    correcting_ = beyond_deadband_ >= kPersistFrames;
  }
  if (!correcting_) return action;
  // About a sample per ms of error, a few per frame at most.
  const int samples = std::clamp(static_cast<int>(std::lround(magnitude)), 1, kMaxStretch);
  action.stretch_samples = error > 0 ? -samples : samples;
  corrected(action.stretch_samples * 1000.0 / kSampleRate);
  return action;
}

void DelayController::reset() {
  correcting_ = false;
  beyond_deadband_ = 0;
  count_ = 0;
  next_ = 0;
  correction_ms_ = 0;
}
