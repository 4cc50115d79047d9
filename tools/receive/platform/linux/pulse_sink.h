#pragma once

#include "audio_sink.h"

struct pa_simple;

// Playback on the default PulseAudio (or PipeWire) sink through the simple
// API: write blocks until the server has room, which paces the receiver.
class PulseSink : public AudioSink {
 public:
  explicit PulseSink(int period_frames) : period_(period_frames) {}
  ~PulseSink() override { close(); }
  ErrorCode open() override;
  int period_frames() const override { return period_; }
  bool write(const float* samples, int frames) override;
  std::int64_t output_delay_ns() override;
  std::int64_t next_play_ns(std::int64_t now_ns) override;
  void close() override;

 private:
  int period_;
  pa_simple* stream_ = nullptr;
};
