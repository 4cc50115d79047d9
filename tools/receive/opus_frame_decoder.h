#pragma once

#include "app/error_code.h"
#include "audio_format.h"

struct OpusDecoder;

// libopus decoding of the stream's packets into interleaved float PCM.
class OpusFrameDecoder {
 public:
  // The most samples per channel one Opus packet can hold (120 ms).
  static constexpr int kMaxFrameSamples = 5760;

  OpusFrameDecoder() = default;
  ~OpusFrameDecoder();
  OpusFrameDecoder(const OpusFrameDecoder&) = delete;
  OpusFrameDecoder& operator=(const OpusFrameDecoder&) = delete;

  // Creates the decoder for 48000 Hz stereo; CodecError when libopus refuses.
  ErrorCode init();
  // Decodes one packet into pcm (room for kMaxFrameSamples); samples per
  // channel, or -1 for a packet libopus rejects.
  int decode(const unsigned char* packet, int size, float* pcm);
  // One frame of packet-loss concealment (960 samples per channel), or -1.
  int conceal(float* pcm);

 private:
  OpusDecoder* decoder_ = nullptr;
};
