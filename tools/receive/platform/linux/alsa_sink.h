#pragma once

#include <alsa/asoundlib.h>

#include <string>

#include "audio_sink.h"
#include "paced_sink.h"

// Playback on an ALSA device ("default", "plughw:1,0", ...), for a board
// without a sound server. Writes wait until the device has room, so the
// card's clock paces the playout; a device without a clock of its own (the
// null or file plugins) takes everything at once and is paced by the
// monotonic clock instead, as a file would be.
class AlsaSink : public AudioSink {
 public:
  AlsaSink(std::string device, int period_frames)
      : device_(std::move(device)), period_(period_frames) {}
  ~AlsaSink() override { close(); }
  ErrorCode open() override;
  int period_frames() const override { return period_; }
  bool write(const float* samples, int frames) override;
  std::int64_t output_delay_ns() override;
  std::int64_t next_play_ns(std::int64_t now_ns) override;
  void close() override;

 private:
  bool configure();
  bool took_all_at_once();
  bool queued_frames(snd_pcm_sframes_t* frames);

  std::string device_;
  int period_;
  snd_pcm_t* pcm_ = nullptr;
  snd_pcm_uframes_t buffer_frames_ = 0;
  // A device without a clock keeps the pace of a file.
  bool clockless_ = false;
  PacedTimeline paced_;
};
