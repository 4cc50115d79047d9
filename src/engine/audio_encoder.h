#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "app/error_code.h"
#include "engine/frame_encoder.h"

struct OpusEncoder;

struct EncoderConfig {
  std::int32_t sample_rate = 48000;
  std::int32_t channels = 2;
  std::int32_t bitrate = 128000;
  std::int32_t frame_ms = 20;
};

// Thread-safe wrapper of one Opus encoder (music, complexity 5). encode and
// set_bitrate are serialised by the encoder's mutex.
class AudioEncoder final : public FrameEncoder {
 public:
  // Ok and the encoder, or CodecError when libopus refuses the configuration.
  static Created<AudioEncoder> create(const EncoderConfig& config);
  ~AudioEncoder() override;
  AudioEncoder(const AudioEncoder&) = delete;
  AudioEncoder& operator=(const AudioEncoder&) = delete;

  ErrorCode encode(const float* pcm, std::int32_t frame_samples, std::vector<std::uint8_t>& out,
                   std::int32_t* bytes) override;

  // Ok when libopus accepts the bitrate (it then shows in bitrate()); a refused
  // value gives CodecError and keeps the previous one.
  ErrorCode set_bitrate(std::int32_t bitrate);

  // sample_rate * frame_ms / 1000 (960 for 48 kHz, 20 ms).
  std::int32_t frame_samples() const override;
  std::int32_t bitrate() const override { return bitrate_.load(std::memory_order_relaxed); }

 private:
  AudioEncoder(OpusEncoder* encoder, const EncoderConfig& config);

  std::mutex mutex_;
  OpusEncoder* encoder_;
  EncoderConfig config_;
  // Mirrors config_.bitrate for readers without the mutex (the frame header).
  std::atomic<std::int32_t> bitrate_;
};
