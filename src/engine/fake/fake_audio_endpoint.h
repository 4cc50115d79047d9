#pragma once

#include <chrono>
#include <condition_variable>
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
  // Whether its waits end when packets are due, like a device's event; one
  // that does not signal is found only by the capture's timed polls.
  bool signals = true;
};

// Fills frames x channels floats of the next real-time period.
using FakeGenerator = std::function<void(float* out, std::uint32_t frames, int channels)>;

// A test endpoint: plays scripted packets in order, or, in real-time mode, a
// generated signal in fixed periods at the wall clock's pace, generated into
// one reused buffer when borrowed (as cheap as a device's own hand-over, for
// the benchmarks). Thread-safe (a lock is fine in a fake); records what the
// capture loop did to it (released_frames only for scripted packets).
class FakeAudioEndpoint final : public AudioEndpoint {
 public:
  struct Counters {
    int opens = 0, initializes = 0, closes = 0, starts = 0, stops = 0;
    int thread_enters = 0, thread_leaves = 0, borrows = 0, releases = 0;
    int waits = 0, signalled_waits = 0;
    std::vector<std::uint32_t> released_frames;
  };

  explicit FakeAudioEndpoint(FakeEndpointConfig config = {});

  void push(FakePacket packet);
  // Real-time mode: from start on, one period of period_frames is due every
  // period_frames / rate seconds and is generated when borrowed.
  void play_real_time(std::uint32_t period_frames, FakeGenerator generator);
  // Another default output: reported as a device change; the next
  // open_device answers from the new configuration.
  void change_default(FakeEndpointConfig config);
  std::size_t pending() const;
  Counters counters() const;
  bool streaming() const;
  // When the stream last started; real-time period k is due one period after
  // started() + k periods.
  std::chrono::steady_clock::time_point started() const;

  ErrorCode open_device() override;
  MixFormat mix_format() const override;
  ErrorCode initialize() override;
  void close_device() override;
  std::string device_name() const override { return "fake"; }
  void enter_thread() override;
  void leave_thread() override;
  void start() override;
  void stop() override;
  bool wait(int timeout_ms) override;
  void wake() override;
  bool take_device_change() override;
  void next_packet_size(std::uint32_t* frames) override;
  bool borrow(EndpointPacket* packet) override;
  void release(std::uint32_t frames) override;

 private:
  std::uint64_t periods_due() const;
  bool packets_due() const;
  std::chrono::steady_clock::time_point next_period_due() const;

  FakeEndpointConfig config_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<FakePacket> queue_;
  FakePacket borrowed_;
  Counters counters_;
  bool woken_ = false;
  bool device_changed_ = false;
  bool streaming_ = false;
  std::uint32_t period_frames_ = 0;
  FakeGenerator generator_;
  std::chrono::steady_clock::time_point started_;
  std::uint64_t periods_taken_ = 0;
  std::vector<float> period_;  // the real-time period being borrowed
  bool period_borrowed_ = false;
};
