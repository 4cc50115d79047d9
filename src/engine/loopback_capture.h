#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "app/error_code.h"
#include "engine/audio_endpoint.h"

// Records the mix of the default output device and hands every packet, as
// interleaved 32-bit floats in the device's own rate and channel count, to
// one callback on its own thread, polling every 10 ms.
class LoopbackCapture {
 public:
  // (samples, frame count, sample rate, channel count)
  using Callback = std::function<void(const float*, std::size_t, int, int)>;

  // Opens the system's default output: Ok, NoAudioDevice or CaptureFailed.
  static Created<LoopbackCapture> create();
  // The same over a given endpoint (tests, test rigs).
  static Created<LoopbackCapture> create(std::unique_ptr<AudioEndpoint> endpoint);

  ~LoopbackCapture();
  LoopbackCapture(const LoopbackCapture&) = delete;
  LoopbackCapture& operator=(const LoopbackCapture&) = delete;

  // Stores the callback and starts the capture thread; Ok. Must not be called
  // while the thread runs; thread creation failure throws std::system_error.
  ErrorCode start(Callback callback);
  // Ends and joins the capture thread; harmless when repeated or not started.
  void stop();

  // The mix format's rate and channel count; 0 without state.
  int sample_rate() const;
  int channels() const;

 private:
  struct State;
  explicit LoopbackCapture(std::unique_ptr<State> state);
  static void capture_loop(State& state);
  static void drain_pass(State& state, std::vector<float>& silence);

  std::unique_ptr<State> state_;
};
