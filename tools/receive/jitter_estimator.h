#pragma once

#include <cstdint>

// Arrival jitter: how far each frame's arrival strays from the 20 ms grid of
// its sequence, over the last frames, as the 95th percentile less the
// minimum (the best case). A single stall of the sender or of this machine
// does not set the target; frames it delays are concealed instead.
class JitterEstimator {
 public:
  static constexpr int kWindow = 100;  // 2 s of frames

  void on_arrival(std::uint32_t sequence, std::int64_t arrival_ns);
  // The spread in ms over the window; 0 before two arrivals.
  double jitter_ms() const;
  void reset();

 private:
  double offsets_ms_[kWindow] = {};
  int count_ = 0;
  int next_ = 0;
  bool any_ = false;
  std::uint32_t last_sequence_ = 0;
  std::int64_t position_ = 0;  // unwrapped sequence of the last arrival
  std::int64_t origin_ns_ = 0;
};
