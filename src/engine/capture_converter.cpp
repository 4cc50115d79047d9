#include "engine/capture_converter.h"

#include <speex/speex_resampler.h>

#include <algorithm>

#include "engine/audio_capture_callback.h"

namespace {

// Input is processed in chunks whose 48 kHz output is about this many frames,
// so the scratch buffers stay small whatever the device rate.
constexpr std::size_t kChunkOutputFrames = 1024;
// Room for the resampler's rounding on top of the nominal output.
constexpr std::size_t kOutputSlack = 64;

}  // namespace

CaptureConverter::CaptureConverter(AudioRing& ring, int device_rate, int device_channels)
    : ring_(ring), rate_(device_rate), channels_(device_channels) {
  if (device_rate <= 0 || device_channels <= 0) return;
  passthrough_ = device_rate == kRingRate && device_channels == 2;
  ready_ = true;
  if (passthrough_) return;
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
  if (!ready_ || sample_rate != rate_ || channels != channels_) return;
  if (passthrough_) {
    ::on_audio_captured(ring_, data, frames, sample_rate, channels);
    return;
  }
  if (captured_packet_bytes(data, frames, channels) == 0) return;
  const std::size_t total = static_cast<std::size_t>(frames);
  for (std::size_t done = 0; done < total; done += chunk_frames_) {
    const std::size_t n = std::min(chunk_frames_, total - done);
    convert_chunk(data + done * static_cast<std::size_t>(channels_), n);
  }
}

void CaptureConverter::convert_chunk(const float* data, std::size_t frames) {
  const float* stereo = data;
  if (channels_ != 2) {
    down_mix(data, frames);
    stereo = stereo_.data();
  }
  if (resampler_ == nullptr) {
    ring_.write(stereo, frames * 2 * sizeof(float));
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
    if (out_len > 0) ring_.write(resampled_.data(), out_len * 2 * sizeof(float));
    if (in_len == 0 && out_len == 0) break;  // nothing moves: never spin
    used += in_len;
  }
}
