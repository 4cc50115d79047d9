#pragma once

#include <cstdio>
#include <string>

#include "audio_sink.h"
#include "wav_writer.h"

// The stream into a WAV file, finalised on close.
class WavFileSink : public AudioSink {
 public:
  WavFileSink(std::string path, WavSampleFormat format, int period_frames)
      : path_(std::move(path)), format_(format), period_(period_frames) {}
  ErrorCode open() override;
  int period_frames() const override { return period_; }
  bool write(const float* samples, int frames) override { return wav_.write(samples, frames); }
  void close() override { wav_.close(); }

 private:
  std::string path_;
  WavSampleFormat format_;
  int period_;
  WavWriter wav_;
};

// Raw interleaved float32 samples to a stream (stdout), flushed per period.
class RawStreamSink : public AudioSink {
 public:
  RawStreamSink(std::FILE* stream, int period_frames) : stream_(stream), period_(period_frames) {}
  ErrorCode open() override {
    return stream_ != nullptr ? ErrorCode::Ok : ErrorCode::InternalError;
  }
  int period_frames() const override { return period_; }
  bool write(const float* samples, int frames) override;
  void close() override;

 private:
  std::FILE* stream_;
  int period_;
};
