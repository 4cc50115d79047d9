#pragma once

#include <atomic>
#include <cstdint>

#include "app/error_code.h"
#include "audio_format.h"
#include "delay_controller.h"
#include "frame_queue.h"
#include "jitter_buffer.h"
#include "jitter_estimator.h"
#include "latency_target.h"
#include "opus_frame_decoder.h"
#include "receive_stats.h"

// Turns received frames into a continuous PCM stream for the output: orders
// them, drops duplicates and late ones, conceals gaps (Opus PLC for up to
// kConcealLimit frames, then silence), and holds the delay at the target.
// Everything runs on the playout thread; stats() may be read from any thread.
class PlayoutEngine {
 public:
  static constexpr int kConcealLimit = 5;       // 100 ms of concealment
  static constexpr int kIdleAfterMissing = 50;  // 1 s without frames: a new stream follows
  static constexpr int kOutOfWindowRun = 3;     // that many strays in a row: a new stream

  // latency_option: > 0 fixed target in ms, 0 as low as possible, < 0 adaptive.
  explicit PlayoutEngine(int latency_option);
  // Creates the decoder; CodecError when libopus refuses.
  ErrorCode init();
  // Takes one received frame (from the frame queue).
  void receive(const QueuedFrame& frame);
  // Fills out with frames interleaved stereo samples; now_ns is the time the
  // first of them is rendered (the monotonic clock of the arrival times).
  void render(float* out, int frames, std::int64_t now_ns);
  ReceiveStats stats() const;

 private:
  static constexpr int kFifoFrames = OpusFrameDecoder::kMaxFrameSamples + 2 * kFrameSamples;
  static constexpr int kIdleChunk = 240;  // silence appended while waiting to start

  void produce(std::int64_t now_ns);
  bool try_start(std::int64_t now_ns);
  void play_next(std::int64_t now_ns, int stretch);
  void play_missing();
  void append(const float* pcm, int frames, int stretch);
  void append_silence(int frames);
  void new_stream();
  void publish();

  OpusFrameDecoder decoder_;
  JitterBuffer buffer_;
  JitterEstimator jitter_;
  LatencyTarget target_;
  DelayController controller_;
  int missing_run_ = 0;
  int out_of_window_run_ = 0;
  float pcm_[OpusFrameDecoder::kMaxFrameSamples * kChannels];
  float fifo_[kFifoFrames * kChannels];
  int fifo_frames_ = 0;

  ReceiveStats counts_;  // playout thread only; copied to the atomics below
  struct Published {
    std::atomic<std::uint64_t> frames{0}, lost{0}, concealed{0}, silent{0}, late{0}, duplicate{0},
        inserted{0}, skipped{0}, stretched{0}, resyncs{0};
    std::atomic<double> buffer_ms{0}, target_ms{0}, jitter_ms{0};
    std::atomic<bool> playing{false};
  } published_;
};
