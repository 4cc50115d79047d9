#pragma once

#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "engine/frame_encoder.h"
#include "engine/frame_sink.h"

namespace test {

// A session stand-in: answers a settable state and records every frame.
class RecordingSink final : public FrameSink {
 public:
  struct Frame {
    AudioFrameHeader header;
    std::vector<std::uint8_t> payload;
  };

  tovik::ConnectionState state() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return state_;
  }
  ErrorCode send_audio_frame(const AudioFrameHeader& header, const std::uint8_t* payload,
                             std::size_t size) override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (throw_on_send_) throw std::runtime_error("send failed hard");
    frames_.push_back({header, std::vector<std::uint8_t>(payload, payload + size)});
    return send_result_;
  }

  void set_state(tovik::ConnectionState state) {
    std::lock_guard<std::mutex> lock(mutex_);
    state_ = state;
  }
  void set_send_result(ErrorCode code) {
    std::lock_guard<std::mutex> lock(mutex_);
    send_result_ = code;
  }
  void set_throw_on_send(bool value) {
    std::lock_guard<std::mutex> lock(mutex_);
    throw_on_send_ = value;
  }
  std::vector<Frame> frames() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
  }
  std::size_t frame_count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_.size();
  }

 private:
  mutable std::mutex mutex_;
  tovik::ConnectionState state_ = tovik::ConnectionState::Connected;
  ErrorCode send_result_ = ErrorCode::Ok;
  bool throw_on_send_ = false;
  std::vector<Frame> frames_;
};

// An encoder whose "packet" is the frame's first sample as 4 bytes, and that
// fails the calls it is told to fail (counting from 0).
class ScriptedEncoder final : public FrameEncoder {
 public:
  ErrorCode encode(const float* pcm, std::int32_t frame_samples, std::vector<std::uint8_t>& out,
                   std::int32_t* bytes) override {
    const int call = calls_++;
    last_first_sample = pcm[0];
    last_frame_samples = frame_samples;
    for (int failing : fail_calls) {
      if (failing == call) return ErrorCode::CodecError;
    }
    const auto* raw = reinterpret_cast<const std::uint8_t*>(pcm);
    out.insert(out.end(), raw, raw + sizeof(float));
    if (bytes != nullptr) *bytes = sizeof(float);
    return ErrorCode::Ok;
  }
  std::int32_t frame_samples() const override { return 960; }
  std::int32_t bitrate() const override { return 128000; }

  std::vector<int> fail_calls;
  float last_first_sample = 0.0f;
  std::int32_t last_frame_samples = 0;

 private:
  int calls_ = 0;
};

}  // namespace test
