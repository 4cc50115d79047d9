#pragma once

#include <cstdint>
#include <vector>

#include "app/error_code.h"

// What the streaming loop needs of an encoder; AudioEncoder in the program,
// scripted encoders in tests.
class FrameEncoder {
 public:
  virtual ~FrameEncoder() = default;

  // Encodes frame_samples samples per channel of interleaved pcm and appends
  // the packet to out; *bytes (if given) gets its size. Ok or CodecError, and
  // on CodecError out is left as it was.
  virtual ErrorCode encode(const float* pcm, std::int32_t frame_samples,
                           std::vector<std::uint8_t>& out, std::int32_t* bytes) = 0;

  // Samples per channel in one frame.
  virtual std::int32_t frame_samples() const = 0;

  // The last bitrate the encoder accepted, in bit/s; safe from any thread.
  virtual std::int32_t bitrate() const = 0;
};
