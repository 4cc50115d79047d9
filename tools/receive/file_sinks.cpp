#include "file_sinks.h"

#include "audio_format.h"

ErrorCode WavFileSink::open() {
  return wav_.open(path_, format_, kChannels, kSampleRate) ? ErrorCode::Ok
                                                           : ErrorCode::InternalError;
}

bool RawStreamSink::write(const float* samples, int frames) {
  const std::size_t count = static_cast<std::size_t>(frames) * kChannels;
  if (std::fwrite(samples, sizeof(float), count, stream_) != count) return false;
  return std::fflush(stream_) == 0;
}

void RawStreamSink::close() {
  if (stream_ != nullptr) std::fflush(stream_);
}
