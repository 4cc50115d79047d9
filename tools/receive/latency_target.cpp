#include "latency_target.h"

#include <algorithm>

LatencyTarget LatencyTarget::from_option(int fixed_ms) {
  LatencyTarget target;
  if (fixed_ms > 0) {
    target.mode_ = Mode::Fixed;
    target.fixed_ms_ = fixed_ms;
  } else if (fixed_ms == 0) {
    target.mode_ = Mode::Minimal;
  }
  target.reset();
  return target;
}

void LatencyTarget::update(double jitter_ms) {
  double wanted = 0;
  switch (mode_) {
    case Mode::Fixed:
      return;
    case Mode::Adaptive:
      wanted = std::clamp(jitter_ms + kMarginMs + period_ms_, kMinMs, kMaxMs);
      break;
    case Mode::Minimal:
      wanted = std::min(jitter_ms + kMinimalMarginMs + period_ms_, kMaxMs);
      break;
  }
  if (wanted > target_ms_ - kFallStepMs) {
    target_ms_ = std::max(target_ms_, wanted);
    calm_frames_ = 0;
    calm_peak_ms_ = 0;
    return;
  }
  calm_peak_ms_ = std::max(calm_peak_ms_, wanted);
  if (++calm_frames_ < kCalmFrames) return;
  target_ms_ = calm_peak_ms_;
  calm_frames_ = 0;
  calm_peak_ms_ = 0;
}

void LatencyTarget::reset() {
  calm_frames_ = 0;
  calm_peak_ms_ = 0;
  switch (mode_) {
    case Mode::Fixed:
      target_ms_ = fixed_ms_;
      break;
    case Mode::Adaptive:
      target_ms_ = kMinMs;
      break;
    case Mode::Minimal:
      target_ms_ = kMinimalMarginMs;
      break;
  }
}
