#pragma once

#include <cstdint>
#include <vector>

#include "audio_sink.h"
#include "engine/channel_layout.h"

struct SpeexResamplerState_;

// Brings the stream's 48000 Hz stereo to an output device's own rate and
// channel count: resampled where the rates differ, left and right on the
// front speakers (both into a mono one), the other speakers silent. 48000 Hz
// stereo passes straight through. Everything is allocated in the
// constructor; fill() neither allocates nor locks.
class OutputConverter {
 public:
  static constexpr int kStreamRate = 48000;
  static constexpr int kResamplerQuality = 5;

  // Whether an output of this rate and channel count can be fed.
  static bool supports(int device_rate, int device_channels);

  // For blocks of at most max_frames device frames.
  OutputConverter(int device_rate, int device_channels, int max_frames);
  ~OutputConverter();
  OutputConverter(const OutputConverter&) = delete;
  OutputConverter& operator=(const OutputConverter&) = delete;

  // Fills frames device frames (interleaved, at most max_frames), asking
  // render for the stream's audio; play_ns is when the first of them leaves.
  void fill(float* out, int frames, const RenderFunction& render, std::int64_t play_ns);

 private:
  int resample(float* stereo, int frames, const RenderFunction& render, std::int64_t play_ns);
  void spread(const float* stereo, float* out, int frames) const;

  int rate_;
  int channels_;
  std::vector<SpeakerRole> roles_;
  std::vector<float> input_;   // the stream's stereo, rendered ahead of the resampler
  int input_start_ = 0;        // first frame not yet resampled
  int input_frames_ = 0;       // frames held from input_start_ on
  std::vector<float> stereo_;  // one block at the device's rate, before spreading
  SpeexResamplerState_* resampler_ = nullptr;
};
