#include "opus_frame_decoder.h"

#include <opus/opus.h>

OpusFrameDecoder::~OpusFrameDecoder() {
  if (decoder_ != nullptr) opus_decoder_destroy(decoder_);
}

ErrorCode OpusFrameDecoder::init() {
  if (decoder_ != nullptr) return ErrorCode::Ok;
  int error = OPUS_OK;
  decoder_ = opus_decoder_create(kSampleRate, kChannels, &error);
  if (error != OPUS_OK || decoder_ == nullptr) {
    decoder_ = nullptr;
    return ErrorCode::CodecError;
  }
  return ErrorCode::Ok;
}

int OpusFrameDecoder::decode(const unsigned char* packet, int size, float* pcm) {
  if (decoder_ == nullptr || size <= 0) return -1;
  const int samples = opus_decode_float(decoder_, packet, size, pcm, kMaxFrameSamples, 0);
  return samples < 0 ? -1 : samples;
}

int OpusFrameDecoder::conceal(float* pcm) {
  if (decoder_ == nullptr) return -1;
  // No data: libopus extrapolates from what it decoded last. The stream has
  // no in-band FEC, so concealment is all there is.
  const int samples = opus_decode_float(decoder_, nullptr, 0, pcm, kFrameSamples, 0);
  return samples < 0 ? -1 : samples;
}
