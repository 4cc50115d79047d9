#pragma once

// Keeps the time that on-time frames wait before they play ("slack") at the
// target, against clock drift and target changes. Small errors are corrected
// by stretching frames a few samples, with hysteresis so that jitter does not
// keep the stretching busy; an error beyond a frame by inserting or dropping
// a whole frame.
class DelayController {
 public:
  static constexpr int kWindow = 150;  // 3 s of decoded frames: the best case is stable

  struct Action {
    int stretch_samples = 0;  // + longer (wait more), - shorter (catch up)
    bool insert_frame = false;
    bool drop_frame = false;
  };

  // A frame was decoded after waiting slack_ms since its arrival.
  void on_decoded(double slack_ms);
  // The slack that an on-time frame would see now (the window's 90th
  // percentile); false before any frame.
  bool estimate(double* slack_ms) const;
  // The correction for the next frame; assumes the caller applies it.
  Action decide(double target_ms);
  void reset();

  static constexpr double kDeadbandMs = 3;   // an error beyond this starts a correction,
  static constexpr int kPersistFrames = 25;  // once it has lasted this long (0.5 s)
  static constexpr double kSettledMs = 1;    // which goes on until the error is this small
  static constexpr int kMaxStretch = 4;      // samples per frame: 0.4 %, unheard
  // Whole frames beyond these: an insertion early, since more delay is safe;
  // a drop only when the delay stays above the target after it.
  static constexpr double kInsertBelowMs = 12;
  static constexpr double kDropAboveMs = 25;

 private:
  void corrected(double ms) { correction_ms_ += ms; }

  // Slack minus the corrections made before it, so that values taken before a
  // correction still compare with those after it.
  double base_ms_[kWindow] = {};
  int count_ = 0;
  int next_ = 0;
  double correction_ms_ = 0;
  bool correcting_ = false;
  int beyond_deadband_ = 0;  // consecutive decisions with the error past the deadband
};
