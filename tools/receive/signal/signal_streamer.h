#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "reference_encoder.h"
#include "test_signal.h"
#include "transport/session_transport.h"

// A stand-in for the application's streaming thread: every 20 ms of real time
// it takes the next 960 samples of a known signal, encodes them as the
// application does and hands the packet to send_audio_frame, with the header
// fields the application fills (sequence, timestamp, flags, bitrate).
class SignalStreamer {
 public:
  // Called with each frame's first sample index just before it is encoded;
  // it may overwrite the samples (benchmarks mark one).
  using FrameHook = std::function<void(std::int64_t first_sample, float* pcm)>;

  SignalStreamer(SessionTransport& session, const SignalSpec& signal)
      : session_(session), signal_(signal) {}
  ~SignalStreamer() { stop(); }
  void set_frame_hook(FrameHook hook) { hook_ = std::move(hook); }
  // Starts the real-time thread; CodecError when the encoder cannot be made.
  ErrorCode start();
  void stop();
  std::uint32_t frames_encoded() const { return frames_; }
  // Frames that send_audio_frame accepted (a receiver was connected).
  std::uint32_t frames_sent() const { return sent_; }
  // Every sample produced so far, interleaved stereo (call after stop).
  const std::vector<float>& produced() const { return produced_; }

 private:
  void run();

  SessionTransport& session_;
  SignalSpec signal_;
  FrameHook hook_;
  ReferenceEncoder encoder_;
  std::atomic<bool> running_{false};
  std::atomic<std::uint32_t> frames_{0};
  std::atomic<std::uint32_t> sent_{0};
  std::vector<float> produced_;
  std::thread thread_;
};
