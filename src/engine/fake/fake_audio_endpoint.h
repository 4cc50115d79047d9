#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

#include "engine/audio_endpoint.h"

// One scripted packet of a FakeAudioEndpoint.
struct FakePacket {
  std::vector<float> samples;  // frames x channels, unless silent
  std::uint32_t frames = 0;
  bool silent = false;
  bool fail_borrow = false;  // borrowing this one fails (and consumes it)

  static FakePacket data(std::vector<float> samples, int channels);
  // Flagged silent; its buffer holds non-zero garbage that must not be used.
  static FakePacket silence(std::uint32_t frames, int channels = 2);
  static FakePacket empty();  // zero frames
  static FakePacket borrow_failure();
};

// What the fake was told to answer when opened.
struct FakeEndpointConfig {
  ErrorCode open_result = ErrorCode::Ok;
  ErrorCode initialize_result = ErrorCode::Ok;
  MixFormat format{true, 48000, 2};
};

// Fills frames x channels floats of the next real-time period.
using FakeGenerator = std::function<void(float* out, std::uint32_t frames, int channels)>;

// A test endpoint: plays scripted packets in order, or, in real-time mode, a
// generated signal in fixed periods at the wall clock's pace. Thread-safe
// (a lock is fine in a fake); records what the capture loop did to it.
class FakeAudioEndpoint final : public AudioEndpoint {
 public:
  struct Counters {
    int opens = 0, initializes = 0, starts = 0, stops = 0;
    int thread_enters = 0, thread_leaves = 0, borrows = 0, releases = 0;
    std::vector<std::uint32_t> released_frames;
  };

  explicit FakeAudioEndpoint(FakeEndpointConfig config = {});

  void push(FakePacket packet);
  // Real-time mode: from start on, one period of period_frames is due every
  // period_frames / rate seconds and is generated when borrowed.
  void play_real_time(std::uint32_t period_frames, FakeGenerator generator);
  std::size_t pending() const;
  Counters counters() const;

  ErrorCode open_device() override;
  MixFormat mix_format() const override { return config_.format; }
  ErrorCode initialize() override;
  void enter_thread() override;
  void leave_thread() override;
  void start() override;
  void stop() override;
  void next_packet_size(std::uint32_t* frames) override;
  bool borrow(EndpointPacket* packet) override;
  void release(std::uint32_t frames) override;

 private:
  void queue_due_periods();

  FakeEndpointConfig config_;
  mutable std::mutex mutex_;
  std::deque<FakePacket> queue_;
  FakePacket borrowed_;
  Counters counters_;
  std::uint32_t period_frames_ = 0;
  FakeGenerator generator_;
  std::chrono::steady_clock::time_point started_;
  std::uint64_t periods_queued_ = 0;
};
