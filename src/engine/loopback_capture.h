#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "app/error_code.h"
#include "engine/audio_endpoint.h"

class CaptureWaitPolicy;

// Records the mix of the default output device and hands every packet, as
// interleaved 32-bit floats in the device's own rate and channel count, to
// one callback on its own thread. The thread sleeps on the device: it wakes
// when the device signals audio (or, for a device that does not signal, at a
// short poll), and only while the capture is active; an inactive capture
// stops the stream and wakes for nothing. When the default output changes, or
// the device is lost, the capture moves to the new default (which may have
// another format) or waits quietly until there is one.
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
  // Whether the audio is wanted (it is from creation on). Any thread; the
  // capture thread follows at once.
  void set_active(bool active);
  // From the callback only: the consumer can do nothing before this much more
  // audio (in ns) has come. A device that signals its packets is then not
  // waited on until that much can have arrived, so the thread wakes once per
  // 20 ms frame rather than at each of the device's 10 ms periods.
  void want_more(std::int64_t audio_ns);

  // The format of the device captured now; 0 without state.
  int sample_rate() const;
  int channels() const;

 private:
  struct State;
  explicit LoopbackCapture(std::unique_ptr<State> state);
  static void capture_loop(State& state);
  static void run_pass(State& state, CaptureWaitPolicy& policy, std::vector<float>& silence);
  static void nap(State& state);
  static void end_nap(State& state);
  static bool reopen(State& state);
  static void wait_for_device(State& state);
  static void set_streaming(State& state, bool streaming);
  static std::uint64_t drain_pass(State& state, std::vector<float>& silence);
  static void note_delivery(State& state, bool waited, std::uint64_t frames);

  std::unique_ptr<State> state_;
};
