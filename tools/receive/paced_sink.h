#pragma once

#include <cstdint>
#include <memory>

#include "audio_sink.h"

// The pace of a sound card for an output without a clock of its own: frames
// handed over are due at the first hand-over's time plus their length.
// Behind by more than 200 ms (a suspended process), it counts afresh instead
// of asking for the backlog in a burst. Times are monotonic ns.
class PacedTimeline {
 public:
  // Counts frames handed over at now_ns; answers when the next are due.
  std::int64_t hand_over(std::int64_t now_ns, int frames);
  // When the next frame handed over leaves: now_ns before the first.
  std::int64_t next_play_ns(std::int64_t now_ns) const;

 private:
  std::int64_t due_ns() const;

  std::int64_t start_ns_ = -1;
  std::uint64_t frames_ = 0;
};

// Gives a sink without a clock of its own (file, pipe, memory) the pace of a
// sound card: each write returns at the time the next period is due.
class PacedSink : public AudioSink {
 public:
  explicit PacedSink(std::unique_ptr<AudioSink> inner) : inner_(std::move(inner)) {}
  ErrorCode open() override { return inner_->open(); }
  int period_frames() const override { return inner_->period_frames(); }
  bool write(const float* samples, int frames) override;
  void close() override { inner_->close(); }
  std::int64_t next_play_ns(std::int64_t now_ns) override { return timeline_.next_play_ns(now_ns); }
  AudioSink& inner() { return *inner_; }

 private:
  std::unique_ptr<AudioSink> inner_;
  PacedTimeline timeline_;
};

// Now on the monotonic clock, in ns.
std::int64_t paced_now_ns();
// Sleeps until due_ns on the monotonic clock (at once if it is past).
void sleep_until_ns(std::int64_t due_ns);
