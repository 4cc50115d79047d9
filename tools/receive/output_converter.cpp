#include "output_converter.h"

#include <speex/speex_resampler.h>

#include <algorithm>

#include "audio_format.h"

bool OutputConverter::supports(int device_rate, int device_channels) {
  return device_rate >= 8000 && device_rate <= 768000 && device_channels >= 1 &&
         device_channels <= 64;
}

OutputConverter::OutputConverter(int device_rate, int device_channels, int max_frames)
    : rate_(device_rate), channels_(device_channels), roles_(speaker_layout(device_channels)) {
  const int block = std::max(max_frames, 1);
  stereo_.resize(static_cast<std::size_t>(block) * kChannels);
  if (rate_ == kStreamRate) return;
  // One block's worth of input, with a frame to spare for rounding.
  const std::int64_t input = std::int64_t{block} * kStreamRate / rate_ + 2;
  input_.resize(static_cast<std::size_t>(input) * kChannels);
  resampler_ = speex_resampler_init(kChannels, kStreamRate, static_cast<spx_uint32_t>(rate_),
                                    kResamplerQuality, nullptr);
  if (resampler_ != nullptr) speex_resampler_skip_zeros(resampler_);
}

OutputConverter::~OutputConverter() {
  if (resampler_ != nullptr) speex_resampler_destroy(resampler_);
}

void OutputConverter::fill(float* out, int frames, const RenderFunction& render,
                           std::int64_t play_ns) {
  frames = std::min(frames, static_cast<int>(stereo_.size() / kChannels));
  if (rate_ == kStreamRate && channels_ == kChannels) {
    render(out, frames, play_ns);
    return;
  }
  int made = frames;
  if (rate_ == kStreamRate) {
    render(stereo_.data(), frames, play_ns);
  } else {
    made = resample(stereo_.data(), frames, render, play_ns);
  }
  spread(stereo_.data(), out, made);
  std::fill(out + static_cast<std::size_t>(made) * channels_,
            out + static_cast<std::size_t>(frames) * channels_, 0.0f);
}

// Renders the stream ahead as far as the block needs and keeps what the
// resampler has not taken for the next block. Answers the frames made.
int OutputConverter::resample(float* stereo, int frames, const RenderFunction& render,
                              std::int64_t play_ns) {
  if (resampler_ == nullptr) return 0;
  const int capacity = static_cast<int>(input_.size() / kChannels);
  int made = 0;
  while (made < frames) {
    if (input_frames_ == 0) {
      const std::int64_t wanted = std::int64_t{frames - made} * kStreamRate / rate_ + 1;
      input_start_ = 0;
      input_frames_ = static_cast<int>(std::min<std::int64_t>(wanted, capacity));
      render(input_.data(), input_frames_, play_ns + std::int64_t{made} * 1000000000 / rate_);
    }
    spx_uint32_t taken = static_cast<spx_uint32_t>(input_frames_);
    spx_uint32_t given = static_cast<spx_uint32_t>(frames - made);
    speex_resampler_process_interleaved_float(
        resampler_, input_.data() + static_cast<std::size_t>(input_start_) * kChannels, &taken,
        stereo + static_cast<std::size_t>(made) * kChannels, &given);
    input_start_ += static_cast<int>(taken);
    input_frames_ -= static_cast<int>(taken);
    made += static_cast<int>(given);
    if (taken == 0 && given == 0) break;  // cannot happen with room on both sides
  }
  return made;
}

void OutputConverter::spread(const float* stereo, float* out, int frames) const {
  for (int f = 0; f < frames; ++f) {
    const float left = stereo[2 * f];
    const float right = stereo[2 * f + 1];
    float* frame = out + static_cast<std::size_t>(f) * channels_;
    for (int c = 0; c < channels_; ++c) {
      switch (roles_[static_cast<std::size_t>(c)]) {
        case SpeakerRole::FrontLeft:
          frame[c] = left;
          break;
        case SpeakerRole::FrontRight:
          frame[c] = right;
          break;
        case SpeakerRole::Mono:
          frame[c] = 0.5f * (left + right);
          break;
        default:
          frame[c] = 0.0f;
          break;
      }
    }
  }
}
