#pragma once

#include <pulse/pulseaudio.h>

#include "audio_sink.h"

// Playback on the default PulseAudio (or PipeWire) sink. The playout thread
// runs libpulse's main loop itself and sleeps until the server asks for
// audio: each request is rendered straight into the server's buffer, so one
// wake-up serves it and nothing polls.
class PulseSink : public AudioSink {
 public:
  explicit PulseSink(int period_frames) : period_(period_frames) {}
  ~PulseSink() override { close(); }
  ErrorCode open() override;
  int period_frames() const override { return period_; }
  bool run(const std::atomic<bool>& running, const RenderFunction& render) override;
  void wake() override;
  bool write(const float* samples, int frames) override;
  std::int64_t output_delay_ns() override;
  std::int64_t next_play_ns(std::int64_t now_ns) override;
  void close() override;

 private:
  bool connect();
  bool iterate();
  void fill(std::size_t bytes);
  static void on_state(pa_context* context, void* self);
  static void on_stream_state(pa_stream* stream, void* self);
  static void on_write(pa_stream* stream, std::size_t bytes, void* self);

  int period_;
  pa_mainloop* mainloop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  const RenderFunction* render_ = nullptr;  // while run() runs
  bool failed_ = false;
};
