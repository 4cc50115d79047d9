#include "platform/linux/pulse_sink.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <string>

#include "app/logs.h"
#include "audio_format.h"

namespace {

// The server's buffer: small enough for low latency, a few periods deep so a
// briefly delayed playout thread does not underrun.
constexpr int kTargetBufferMs = 30;

}  // namespace

ErrorCode PulseSink::open() {
  pa_sample_spec spec{};
  spec.format = PA_SAMPLE_FLOAT32LE;
  spec.rate = kSampleRate;
  spec.channels = kChannels;
  const std::uint32_t bytes_per_ms = kSampleRate / 1000 * kChannels * sizeof(float);
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.tlength = kTargetBufferMs * bytes_per_ms;
  attr.prebuf = static_cast<std::uint32_t>(-1);
  attr.minreq = static_cast<std::uint32_t>(period_ * kChannels * sizeof(float));
  attr.fragsize = static_cast<std::uint32_t>(-1);
  int error = 0;
  stream_ = pa_simple_new(nullptr, "tovik-receive", PA_STREAM_PLAYBACK, nullptr, "Tovik stream",
                          &spec, nullptr, &attr, &error);
  if (stream_ == nullptr) {
    debug_log(("pulse: pa_simple_new: " + std::string(pa_strerror(error))).c_str());
    return ErrorCode::NoAudioDevice;
  }
  return ErrorCode::Ok;
}

bool PulseSink::write(const float* samples, int frames) {
  if (stream_ == nullptr) return false;
  int error = 0;
  const std::size_t bytes = static_cast<std::size_t>(frames) * kChannels * sizeof(float);
  return pa_simple_write(stream_, samples, bytes, &error) == 0;
}

std::int64_t PulseSink::output_delay_ns() {
  if (stream_ == nullptr) return 0;
  int error = 0;
  const pa_usec_t latency = pa_simple_get_latency(stream_, &error);
  return latency == static_cast<pa_usec_t>(-1) ? 0 : static_cast<std::int64_t>(latency) * 1000;
}

// The server takes data in bursts, so the writing thread's wake-ups are no
// clock. The time the next sample plays (now plus the server's latency) is
// one; less the buffer the server is asked to keep, it is the steady
// hand-over timeline the playout measures its delay on.
std::int64_t PulseSink::next_play_ns(std::int64_t now_ns) {
  const std::int64_t latency = output_delay_ns();
  if (latency <= 0) return now_ns;
  return now_ns + latency - std::int64_t{kTargetBufferMs} * 1000000;
}

void PulseSink::close() {
  if (stream_ == nullptr) return;
  int error = 0;
  pa_simple_drain(stream_, &error);
  pa_simple_free(stream_);
  stream_ = nullptr;
}
