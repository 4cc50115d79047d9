#pragma once

#include <cstdint>

// Known signals for measuring the stream end to end: a steady tone, or a
// logarithmic sweep that repeats every period_s. Sample n of channel c is a
// pure function of n, so a reference can be regenerated at any offset.
struct SignalSpec {
  enum class Kind { Tone, Sweep } kind = Kind::Tone;
  double frequency_hz = 1000;  // tone
  double start_hz = 100;       // sweep
  double end_hz = 8000;
  double period_s = 4;
  double amplitude = 0.5;
};

// Sample n (48000 Hz) of the signal.
float signal_sample(const SignalSpec& spec, std::int64_t n);
// Frames of interleaved stereo (both channels the same) from sample first.
void fill_signal(const SignalSpec& spec, std::int64_t first, float* out, int frames);
