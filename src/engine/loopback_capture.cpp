#include "engine/loopback_capture.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/logs.h"
#include "engine/capture_wait_policy.h"
#include "transport/thread_name.h"

struct LoopbackCapture::State {
  std::unique_ptr<AudioEndpoint> endpoint;
  Callback callback;
  std::thread thread;
  std::atomic<bool> running{false};
  std::atomic<bool> active{true};
  std::atomic<int> sample_rate{0};
  std::atomic<int> channels{0};
  // The capture thread's own.
  bool streaming = false;
  bool reopen_due = false;
  bool waiting_logged = false;
  std::int64_t wanted_ns = 0;  // from want_more
  std::chrono::steady_clock::time_point delivered;
  // A nap ends early at stop and at a change of activity.
  std::mutex nap_mutex;
  std::condition_variable nap_end;
  bool nap_interrupted = false;
};

namespace {

constexpr std::size_t kInitialSilenceFrames = 4096;
// A nap lasts this much past the time the wanted audio is due, so that it
// has arrived by then.
constexpr std::chrono::milliseconds kNapSlack{1};
// A wait on the device longer than this was a wait for its audio to come.
constexpr std::chrono::microseconds kBlockedWait{500};
// Without a default output, how often to look again should no notification come.
constexpr std::chrono::milliseconds kRetryOpen{1000};

}  // namespace

Created<LoopbackCapture> LoopbackCapture::create() { return create(make_system_audio_endpoint()); }

Created<LoopbackCapture> LoopbackCapture::create(std::unique_ptr<AudioEndpoint> endpoint) {
  if (!endpoint) return {ErrorCode::NoAudioDevice, nullptr};
  const ErrorCode opened = endpoint->open_device();
  if (opened != ErrorCode::Ok) return {opened, nullptr};
  const MixFormat format = endpoint->mix_format();
  if (!format.is_float) return {ErrorCode::CaptureFailed, nullptr};
  auto state = std::make_unique<State>();
  state->sample_rate = format.sample_rate;
  state->channels = format.channels;
  if (endpoint->initialize() != ErrorCode::Ok) return {ErrorCode::CaptureFailed, nullptr};
  state->endpoint = std::move(endpoint);
  return {ErrorCode::Ok, std::unique_ptr<LoopbackCapture>(new LoopbackCapture(std::move(state)))};
}

LoopbackCapture::LoopbackCapture(std::unique_ptr<State> state) : state_(std::move(state)) {}

LoopbackCapture::~LoopbackCapture() { stop(); }

ErrorCode LoopbackCapture::start(Callback callback) {
  if (!state_) return ErrorCode::Ok;
  state_->callback = std::move(callback);
  state_->running.exchange(true);
  State& state = *state_;
  state_->thread = std::thread([&state] { capture_loop(state); });
  return ErrorCode::Ok;
}

void LoopbackCapture::stop() {
  if (!state_) return;
  state_->running.exchange(false);
  end_nap(*state_);
  state_->endpoint->wake();
  if (state_->thread.joinable()) state_->thread.join();
}

void LoopbackCapture::set_active(bool active) {
  if (!state_ || state_->active.exchange(active) == active) return;
  end_nap(*state_);
  state_->endpoint->wake();
}

void LoopbackCapture::want_more(std::int64_t audio_ns) {
  if (state_) state_->wanted_ns = audio_ns;
}

void LoopbackCapture::end_nap(State& state) {
  {
    std::lock_guard<std::mutex> lock(state.nap_mutex);
    state.nap_interrupted = true;
  }
  state.nap_end.notify_all();
}

// Sleeps until the audio the consumer wants can be there (counted from the
// device's last delivery), instead of waking for each period on the way.
void LoopbackCapture::nap(State& state) {
  const std::int64_t wanted = state.wanted_ns;
  state.wanted_ns = 0;
  if (wanted <= 0) return;
  const auto until = state.delivered + std::chrono::nanoseconds(wanted) + kNapSlack;
  std::unique_lock<std::mutex> lock(state.nap_mutex);
  state.nap_end.wait_until(lock, until, [&state] { return state.nap_interrupted; });
  state.nap_interrupted = false;
}

int LoopbackCapture::sample_rate() const { return state_ ? state_->sample_rate.load() : 0; }
int LoopbackCapture::channels() const { return state_ ? state_->channels.load() : 0; }

void LoopbackCapture::capture_loop(State& state) {
  name_this_thread("tovik-capture");
  AudioEndpoint& endpoint = *state.endpoint;
  try {
    endpoint.enter_thread();
    const int channels = state.channels.load();
    std::vector<float> silence(
        static_cast<std::size_t>(channels > 0 ? channels : 0) * kInitialSilenceFrames, 0.0f);
    CaptureWaitPolicy policy;
    while (state.running.load()) run_pass(state, policy, silence);
    set_streaming(state, false);
  } catch (...) {
    // The thread ends quietly; the stream is left as it is.
  }
  endpoint.leave_thread();
}

// One wait on the device and what follows it: nothing while inactive, a new
// device after a change, else a drain of every packet waiting.
void LoopbackCapture::run_pass(State& state, CaptureWaitPolicy& policy,
                               std::vector<float>& silence) {
  AudioEndpoint& endpoint = *state.endpoint;
  if (endpoint.take_device_change()) state.reopen_due = true;
  if (!state.active.load()) {
    set_streaming(state, false);
    endpoint.wait(-1);
    return;
  }
  if (state.reopen_due && !reopen(state)) {
    wait_for_device(state);
    return;
  }
  if (!state.streaming) {
    set_streaming(state, true);
    policy.restart();
    state.delivered = std::chrono::steady_clock::time_point();
  }
  if (policy.trusts_signals()) nap(state);
  const auto before = std::chrono::steady_clock::now();
  const bool signalled = endpoint.wait(policy.timeout_ms());
  const bool blocked = std::chrono::steady_clock::now() - before > kBlockedWait;
  const std::uint64_t frames = drain_pass(state, silence);
  note_delivery(state, blocked, frames);
  policy.after_wait(signalled, frames != 0);
}

// When the newest audio drained came from the device: now, if the thread had
// to wait for it; else as much later than the previous delivery as the audio
// drained lasts, so that a thread that woke late from a nap does not push
// the next nap later still.
void LoopbackCapture::note_delivery(State& state, bool waited, std::uint64_t frames) {
  const int rate = state.sample_rate.load();
  if (frames == 0 || rate <= 0) return;
  const auto now = std::chrono::steady_clock::now();
  const auto audio =
      std::chrono::nanoseconds(frames * 1000000000 / static_cast<std::uint64_t>(rate));
  const bool anchored = state.delivered != std::chrono::steady_clock::time_point();
  state.delivered = waited || !anchored ? now : std::min(now, state.delivered + audio);
}

void LoopbackCapture::set_streaming(State& state, bool streaming) {
  if (state.streaming == streaming) return;
  state.streaming = streaming;
  if (streaming) {
    state.endpoint->start();
  } else {
    state.endpoint->stop();
  }
}

// Without a usable default output: until the platform reports a change, and
// now and then in case it never does, but not at every other wake-up.
void LoopbackCapture::wait_for_device(State& state) {
  AudioEndpoint& endpoint = *state.endpoint;
  const auto deadline = std::chrono::steady_clock::now() + kRetryOpen;
  while (state.running.load() && state.active.load() && !endpoint.take_device_change()) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    endpoint.wait(static_cast<int>(left.count()));
  }
}

// Opens whatever the default output is now. A failure is logged once until
// the next success, so a capture waiting for a device stays quiet.
bool LoopbackCapture::reopen(State& state) {
  AudioEndpoint& endpoint = *state.endpoint;
  set_streaming(state, false);
  endpoint.close_device();
  // Changes reported so far are what this opening looks at.
  endpoint.take_device_change();
  ErrorCode code = endpoint.open_device();
  const MixFormat format = endpoint.mix_format();
  if (code == ErrorCode::Ok && !format.is_float) code = ErrorCode::CaptureFailed;
  if (code == ErrorCode::Ok) code = endpoint.initialize();
  if (code != ErrorCode::Ok) {
    if (!state.waiting_logged) {
      debug_logf("capture: follow default output: none usable (code %d), waiting for one",
                 static_cast<int>(code));
    }
    state.waiting_logged = true;
    return false;
  }
  state.reopen_due = false;
  state.waiting_logged = false;
  state.sample_rate = format.sample_rate;
  state.channels = format.channels;
  debug_logf("capture: follow default output: now %s, %d Hz, %d channels",
             endpoint.device_name().c_str(), format.sample_rate, format.channels);
  return true;
}

// Hands every waiting packet to the callback; the frames it held.
std::uint64_t LoopbackCapture::drain_pass(State& state, std::vector<float>& silence) {
  AudioEndpoint& endpoint = *state.endpoint;
  const int rate = state.sample_rate.load();
  const int channels = state.channels.load();
  const std::size_t width = static_cast<std::size_t>(channels > 0 ? channels : 0);
  // Preset to 0: a failed first query reads as nothing waiting, a failed
  // re-query keeps the last count and the next borrow decides.
  std::uint32_t count = 0;
  endpoint.next_packet_size(&count);
  std::uint64_t delivered = 0;
  while (count != 0) {
    EndpointPacket packet;
    if (!endpoint.borrow(&packet)) break;  // not released: nothing was borrowed
    if (state.callback && packet.frames != 0) {
      if (packet.silent) {
        const std::size_t needed = packet.frames * width;
        if (silence.size() < needed) silence.resize(needed, 0.0f);
        state.callback(silence.data(), packet.frames, rate, channels);
      } else if (packet.data != nullptr) {
        state.callback(packet.data, packet.frames, rate, channels);
      }
    }
    delivered += packet.frames;
    endpoint.release(packet.frames);
    endpoint.next_packet_size(&count);
  }
  return delivered;
}
