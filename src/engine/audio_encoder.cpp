#include "engine/audio_encoder.h"

#include <opus/opus.h>

Created<AudioEncoder> AudioEncoder::create(const EncoderConfig& config) {
  int error = 0;
  OpusEncoder* encoder =
      opus_encoder_create(config.sample_rate, config.channels, OPUS_APPLICATION_AUDIO, &error);
  if (error != 0 || encoder == nullptr) {
    if (encoder != nullptr) opus_encoder_destroy(encoder);
    return {ErrorCode::CodecError, nullptr};
  }
  // Results ignored: a refused setting leaves libopus' default in force.
  opus_encoder_ctl(encoder, OPUS_SET_BITRATE(config.bitrate));
  opus_encoder_ctl(encoder, OPUS_SET_SIGNAL(OPUS_SIGNAL_MUSIC));
  opus_encoder_ctl(encoder, OPUS_SET_COMPLEXITY(5));
  return {ErrorCode::Ok, std::unique_ptr<AudioEncoder>(new AudioEncoder(encoder, config))};
}

AudioEncoder::AudioEncoder(OpusEncoder* encoder, const EncoderConfig& config)
    : encoder_(encoder), config_(config), bitrate_(config.bitrate) {}

AudioEncoder::~AudioEncoder() { opus_encoder_destroy(encoder_); }

ErrorCode AudioEncoder::encode(const float* pcm, std::int32_t frame_samples,
                               std::vector<std::uint8_t>& out, std::int32_t* bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  // 1275 bytes is the largest Opus frame per channel.
  const std::size_t max = static_cast<std::size_t>(config_.channels) * 1275;
  const std::size_t old = out.size();
  out.resize(old + max);
  const opus_int32 result = opus_encode_float(encoder_, pcm, frame_samples, out.data() + old,
                                              static_cast<opus_int32>(max));
  if (result < 0) {
    out.resize(old);
    return ErrorCode::CodecError;
  }
  out.resize(old + static_cast<std::size_t>(result));
  if (bytes != nullptr) *bytes = result;
  return ErrorCode::Ok;
}

ErrorCode AudioEncoder::set_bitrate(std::int32_t bitrate) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (opus_encoder_ctl(encoder_, OPUS_SET_BITRATE(bitrate)) != OPUS_OK)
    return ErrorCode::CodecError;
  config_.bitrate = bitrate;
  bitrate_.store(bitrate, std::memory_order_relaxed);
  return ErrorCode::Ok;
}

std::int32_t AudioEncoder::frame_samples() const {
  return config_.sample_rate * config_.frame_ms / 1000;
}
