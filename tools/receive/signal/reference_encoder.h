#pragma once

#include <cstddef>
#include <cstdint>

#include "app/error_code.h"

struct OpusEncoder;

// An Opus encoder set up as the transmitter's: 48000 Hz stereo, 20 ms frames,
// 128 kbit/s, OPUS_APPLICATION_AUDIO, signal music, complexity 5.
class ReferenceEncoder {
 public:
  static constexpr int kBitrate = 128000;
  ReferenceEncoder() = default;
  ~ReferenceEncoder();
  ReferenceEncoder(const ReferenceEncoder&) = delete;
  ReferenceEncoder& operator=(const ReferenceEncoder&) = delete;

  ErrorCode init();
  // Encodes 960 frames of interleaved stereo; the packet size, or -1.
  int encode(const float* pcm, std::uint8_t* packet, std::size_t capacity);

 private:
  OpusEncoder* encoder_ = nullptr;
};
