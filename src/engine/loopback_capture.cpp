#include "engine/loopback_capture.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

struct LoopbackCapture::State {
  std::unique_ptr<AudioEndpoint> endpoint;
  Callback callback;
  std::thread thread;
  std::atomic<bool> running{false};
  int sample_rate = 0;
  int channels = 0;
};

namespace {

constexpr std::chrono::milliseconds kPollInterval{10};
constexpr std::size_t kInitialSilenceFrames = 4096;

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
  if (state_->thread.joinable()) state_->thread.join();
}

int LoopbackCapture::sample_rate() const { return state_ ? state_->sample_rate : 0; }
int LoopbackCapture::channels() const { return state_ ? state_->channels : 0; }

void LoopbackCapture::capture_loop(State& state) {
  AudioEndpoint& endpoint = *state.endpoint;
  try {
    endpoint.enter_thread();
    endpoint.start();
    std::vector<float> silence(
        static_cast<std::size_t>(state.channels > 0 ? state.channels : 0) * kInitialSilenceFrames,
        0.0f);
    while (state.running.load()) {
      std::this_thread::sleep_for(kPollInterval);
      drain_pass(state, silence);
    }
    endpoint.stop();
  } catch (...) {
    // The thread ends quietly; the stream is left as it is.
  }
  endpoint.leave_thread();
}

void LoopbackCapture::drain_pass(State& state, std::vector<float>& silence) {
  AudioEndpoint& endpoint = *state.endpoint;
  const std::size_t channels = static_cast<std::size_t>(state.channels > 0 ? state.channels : 0);
  // Preset to 0: a failed first query reads as nothing waiting, a failed
  // re-query keeps the last count and the next borrow decides.
  std::uint32_t count = 0;
  endpoint.next_packet_size(&count);
  while (count != 0) {
    EndpointPacket packet;
    if (!endpoint.borrow(&packet)) return;  // not released: nothing was borrowed
    if (state.callback && packet.frames != 0) {
      if (packet.silent) {
        const std::size_t needed = packet.frames * channels;
        if (silence.size() < needed) silence.resize(needed, 0.0f);
        state.callback(silence.data(), packet.frames, state.sample_rate, state.channels);
      } else if (packet.data != nullptr) {
        state.callback(packet.data, packet.frames, state.sample_rate, state.channels);
      }
    }
    endpoint.release(packet.frames);
    endpoint.next_packet_size(&count);
  }
}
