#pragma once

// How long a frame that arrives on time waits before it plays. Adaptive: the
// measured jitter plus a margin, within 20..200 ms, starting at one frame; it
// follows a rise at once, and a fall in one step once the jitter has stayed
// lower for 10 s (to the highest need of those 10 s), so that the delay is
// not corrected all the time. Fixed: a set value. Minimal: the jitter plus a
// small margin, with no floor.
class LatencyTarget {
 public:
  enum class Mode { Adaptive, Fixed, Minimal };

  // fixed_ms > 0 fixes the target, 0 asks for the lowest, < 0 adapts.
  static LatencyTarget from_option(int fixed_ms);
  // Feeds the current jitter estimate once per frame.
  void update(double jitter_ms);
  // The output's period: a frame is taken up to one period before it plays,
  // so the adaptive and minimal targets add it to the jitter they cover.
  void set_period_ms(double period_ms) { period_ms_ = period_ms; }
  double target_ms() const { return target_ms_; }
  Mode mode() const { return mode_; }
  void reset();

  static constexpr double kMinMs = 20;
  static constexpr double kMaxMs = 200;
  static constexpr double kMarginMs = 5;
  static constexpr double kMinimalMarginMs = 2;
  static constexpr int kCalmFrames = 500;   // 10 s of lower jitter before a fall
  static constexpr double kFallStepMs = 2;  // smaller falls are not worth a correction

 private:
  Mode mode_ = Mode::Adaptive;
  double fixed_ms_ = 0;
  double target_ms_ = kMinMs;
  double period_ms_ = 0;
  int calm_frames_ = 0;
  double calm_peak_ms_ = 0;
};
