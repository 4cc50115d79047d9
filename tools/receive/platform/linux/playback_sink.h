#pragma once

#include <memory>
#include <string>

#include "audio_sink.h"

// The machine's sound output: the PulseAudio (or PipeWire) server where one
// answers, else ALSA's "default" device (a headless board). Naming an ALSA
// device skips the server and plays there.
class PlaybackSink : public AudioSink {
 public:
  PlaybackSink(std::string alsa_device, int period_frames)
      : alsa_device_(std::move(alsa_device)), period_(period_frames) {}
  ErrorCode open() override;
  int period_frames() const override { return period_; }
  bool run(const std::atomic<bool>& running, const RenderFunction& render) override;
  void wake() override;
  bool write(const float* samples, int frames) override;
  std::int64_t output_delay_ns() override;
  std::int64_t next_play_ns(std::int64_t now_ns) override;
  void close() override;

 private:
  std::string alsa_device_;
  int period_;
  std::unique_ptr<AudioSink> active_;
};
