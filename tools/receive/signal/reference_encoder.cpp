#include "reference_encoder.h"

#include <opus/opus.h>

ReferenceEncoder::~ReferenceEncoder() {
  if (encoder_ != nullptr) opus_encoder_destroy(encoder_);
}

ErrorCode ReferenceEncoder::init() {
  int error = OPUS_OK;
  encoder_ = opus_encoder_create(48000, 2, OPUS_APPLICATION_AUDIO, &error);
  if (error != OPUS_OK || encoder_ == nullptr) {
    encoder_ = nullptr;
    return ErrorCode::CodecError;
  }
  opus_encoder_ctl(encoder_, OPUS_SET_BITRATE(kBitrate));
  opus_encoder_ctl(encoder_, OPUS_SET_SIGNAL(OPUS_SIGNAL_MUSIC));
  opus_encoder_ctl(encoder_, OPUS_SET_COMPLEXITY(5));
  return ErrorCode::Ok;
}

int ReferenceEncoder::encode(const float* pcm, std::uint8_t* packet, std::size_t capacity) {
  if (encoder_ == nullptr) return -1;
  const int n = opus_encode_float(encoder_, pcm, 960, packet, static_cast<opus_int32>(capacity));
  return n < 0 ? -1 : n;
}
