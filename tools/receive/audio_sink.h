#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

#include "app/error_code.h"

// Frames per sink write: 10 ms. Shorter periods cost wake-ups (CPU); the
// playout start itself is placed to the sample whatever the period.
constexpr int kSinkPeriodFrames = 480;

// Fills out with frames of interleaved stereo; play_ns is when the first of
// them leaves the receiver (see next_play_ns).
using RenderFunction = std::function<void(float* out, int frames, std::int64_t play_ns)>;

// Where the receiver's PCM goes (interleaved float, 48000 Hz, stereo). The
// output drives: run() asks for audio whenever the output wants it. A sound
// server asks through its own request callback; otherwise write() returns
// when the sink is ready for the next period (a file sink is paced by the
// clock, PacedSink).
class AudioSink {
 public:
  virtual ~AudioSink() = default;
  // Feeds the output from render until running is false (then wake() ends a
  // wait at once) or the sink fails (false). By default one period at a time
  // through write().
  virtual bool run(const std::atomic<bool>& running, const RenderFunction& render);
  // Ends the wait of run() early; any thread.
  virtual void wake() {}
  // Opens the device or file; NoAudioDevice or InternalError on failure.
  virtual ErrorCode open() = 0;
  // Frames handed to each write.
  virtual int period_frames() const = 0;
  // Plays or stores frames; false when the sink has failed.
  virtual bool write(const float* samples, int frames) = 0;
  // Time until a sample written now is heard, where the sink knows it.
  virtual std::int64_t output_delay_ns() { return 0; }
  // When the next sample written leaves the receiver, on the monotonic clock
  // in ns, given the time now: the moment it is handed over, not counting a
  // device's own constant buffer. A sink with a steady timeline of its own
  // answers from it, so that a late wake-up of the writing thread does not
  // look like jitter.
  virtual std::int64_t next_play_ns(std::int64_t now_ns) { return now_ns; }
  // Finishes (a WAV file gets its final header). Idempotent.
  virtual void close() = 0;
};
