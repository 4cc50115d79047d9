#pragma once

#include <mutex>
#include <vector>

#include "audio_format.h"
#include "audio_sink.h"

namespace test {

// Keeps everything written to it (left channel), for judging afterwards.
class MemorySink : public AudioSink {
 public:
  ErrorCode open() override { return ErrorCode::Ok; }
  int period_frames() const override { return 240; }
  bool write(const float* samples, int frames) override {
    std::lock_guard<std::mutex> guard(mutex_);
    for (int k = 0; k < frames; ++k) left_.push_back(samples[k * kChannels]);
    return true;
  }
  void close() override {}
  std::vector<float> left() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return left_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<float> left_;
};

}  // namespace test
