#pragma once

#include <cstdint>

// What the receiver has done with the stream so far.
struct ReceiveStats {
  std::uint64_t frames = 0;     // packets decoded and played
  std::uint64_t lost = 0;       // sequences that were not there in time
  std::uint64_t concealed = 0;  // frames filled by packet-loss concealment
  std::uint64_t silent = 0;     // frames of silence after the concealment limit
  std::uint64_t late = 0;       // packets that came after their turn
  std::uint64_t duplicate = 0;  // packets received twice
  std::uint64_t inserted = 0;   // whole frames added to raise the delay
  std::uint64_t skipped = 0;    // whole frames dropped to lower the delay
  std::uint64_t stretched = 0;  // frames lengthened or shortened by a few samples
  std::uint64_t resyncs = 0;    // new streams (restart, long gap)
  double buffer_ms = 0;         // slack of an on-time frame, measured
  double target_ms = 0;
  double jitter_ms = 0;
  bool playing = false;
};
