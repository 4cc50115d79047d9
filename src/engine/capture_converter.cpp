#include "engine/capture_converter.h"

#include <speex/speex_resampler.h>

#include <algorithm>
#include <cstdio>

#include "app/logs.h"

namespace {

// Input is processed in chunks whose 48 kHz output is about this many frames,
// so the scratch buffers stay small whatever the device rate.
constexpr std::size_t kChunkOutputFrames = 1024;
// Room for the resampler's rounding on top of the nominal output.
constexpr std::size_t kOutputSlack = 64;
constexpr std::size_t kStereoFrameBytes = 2 * sizeof(float);

bool convertible(int rate, int channels) {
  return rate >= CaptureConverter::kMinRate && rate <= CaptureConverter::kMaxRate &&
         channels >= 1 && channels <= CaptureConverter::kMaxChannels;
}

}  // namespace

bool CaptureConverter::check_format(int device_rate, int device_channels) {
  if (convertible(device_rate, device_channels)) return true;
  char line[kLogLineSize];
  std::snprintf(line, sizeof line,
                "capture: convert: %d Hz with %d channels cannot be converted to 48000 Hz stereo",
                device_rate, device_channels);
  debug_log(line);
  return false;
}

CaptureConverter::CaptureConverter(AudioRing& ring, int device_rate, int device_channels)
    : ring_(ring), rate_(device_rate), channels_(device_channels) {
  if (!convertible(device_rate, device_channels)) return;
  passthrough_ = device_rate == kRingRate && device_channels == 2;
  ready_ = true;
  if (passthrough_) {
    chunk_frames_ = kMaxRingWriteBytes / kStereoFrameBytes;
    return;
  }
  for (SpeakerRole role : speaker_layout(device_channels)) gains_.push_back(stereo_gains(role));
  chunk_frames_ = std::max<std::size_t>(
      1, kChunkOutputFrames * static_cast<std::size_t>(device_rate) / kRingRate);
  stereo_.assign(2 * chunk_frames_, 0.0f);
  if (device_rate == kRingRate) return;
  out_capacity_ = kChunkOutputFrames + kOutputSlack;
  resampled_.assign(2 * out_capacity_, 0.0f);
  int error = 0;
  resampler_ = speex_resampler_init(2, static_cast<spx_uint32_t>(device_rate), kRingRate,
                                    kResamplerQuality, &error);
  if (resampler_ == nullptr || error != RESAMPLER_ERR_SUCCESS) {
    ready_ = false;
    return;
  }
  // Drop the filter's leading zeros so the first output is real audio.
  speex_resampler_skip_zeros(resampler_);
}

CaptureConverter::~CaptureConverter() {
  if (resampler_ != nullptr) speex_resampler_destroy(resampler_);
}

void CaptureConverter::on_audio_captured(const float* data, std::uint64_t frames, int sample_rate,
                                         int channels) {
  if (!ready_ || data == nullptr || sample_rate != rate_ || channels != channels_) return;
  // The limits bound what enters the ring, never the device's packet.
  const std::size_t stride = static_cast<std::size_t>(channels_);
  for (std::uint64_t done = 0; done < frames; done += chunk_frames_) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(chunk_frames_, frames - done));
    convert_chunk(data + static_cast<std::size_t>(done) * stride, n);
  }
}

void CaptureConverter::convert_chunk(const float* data, std::size_t frames) {
  if (passthrough_) {
    ring_.write(data, frames * kStereoFrameBytes);
    return;
  }
  const float* stereo = data;
  if (channels_ != 2) {
    down_mix(data, frames);
    stereo = stereo_.data();
  }
  if (resampler_ == nullptr) {
    ring_.write(stereo, frames * kStereoFrameBytes);
    return;
  }
  resample_into_ring(stereo, frames);
}

void CaptureConverter::down_mix(const float* data, std::size_t frames) {
  const std::size_t channels = gains_.size();
  for (std::size_t f = 0; f < frames; ++f) {
    const float* in = data + f * channels;
    float left = 0.0f;
    float right = 0.0f;
    for (std::size_t c = 0; c < channels; ++c) {
      left += gains_[c].left * in[c];
      right += gains_[c].right * in[c];
    }
    stereo_[2 * f] = left;
    stereo_[2 * f + 1] = right;
  }
}

void CaptureConverter::resample_into_ring(const float* stereo, std::size_t frames) {
  std::size_t used = 0;
  while (used < frames) {
    spx_uint32_t in_len = static_cast<spx_uint32_t>(frames - used);
    spx_uint32_t out_len = static_cast<spx_uint32_t>(out_capacity_);
    speex_resampler_process_interleaved_float(resampler_, stereo + 2 * used, &in_len,
                                              resampled_.data(), &out_len);
    if (out_len > 0) ring_.write(resampled_.data(), out_len * kStereoFrameBytes);
    if (in_len == 0 && out_len == 0) break;  // nothing moves: never spin
    used += in_len;
  }
}
