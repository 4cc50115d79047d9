#pragma once

#include <chrono>
#include <memory>

#include "audio_sink.h"

// Gives a sink without a clock of its own (file, pipe, memory) the pace of a
// sound card: each write returns at the time the next period is due.
class PacedSink : public AudioSink {
 public:
  explicit PacedSink(std::unique_ptr<AudioSink> inner) : inner_(std::move(inner)) {}
  ErrorCode open() override { return inner_->open(); }
  int period_frames() const override { return inner_->period_frames(); }
  bool write(const float* samples, int frames) override;
  void close() override { inner_->close(); }
  std::int64_t next_play_ns(std::int64_t now_ns) override;
  AudioSink& inner() { return *inner_; }

 private:
  std::unique_ptr<AudioSink> inner_;
  bool started_ = false;
  std::chrono::steady_clock::time_point start_;
  std::uint64_t frames_ = 0;
};
