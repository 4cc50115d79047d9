#include "platform/linux/pulse_sink.h"

#include <algorithm>

#include "app/logs.h"
#include "audio_format.h"
#include "transport/steady_clock.h"

namespace {

// The server's buffer, and how much it asks for at a time: one Opus frame per
// request halves the requests against 10 ms ones (the server's notes that it
// is done with a block still come every 10 ms); the buffer is deep enough that
// a thread woken 20 ms late does not underrun.
constexpr int kTargetBufferMs = 40;
constexpr int kRequestMs = 20;
// How often the server's timing (the latency the timeline is built on) is
// asked for; libpulse interpolates in between. Its automatic updates would
// cost many more wake-ups.
constexpr std::int64_t kTimingUpdateNs = 1000000000;
constexpr std::size_t kFrameBytes = kChannels * sizeof(float);

}  // namespace

ErrorCode PulseSink::open() {
  mainloop_ = pa_mainloop_new();
  if (mainloop_ == nullptr || !connect()) {
    const int error = context_ != nullptr ? pa_context_errno(context_) : PA_ERR_INTERNAL;
    debug_logf("pulse: playback: %s", pa_strerror(error));
    close();
    return ErrorCode::NoAudioDevice;
  }
  return ErrorCode::Ok;
}

bool PulseSink::connect() {
  context_ = pa_context_new(pa_mainloop_get_api(mainloop_), "tovik-receive");
  if (context_ == nullptr) return false;
  pa_context_set_state_callback(context_, &PulseSink::on_state, this);
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
  while (pa_context_get_state(context_) != PA_CONTEXT_READY) {
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)) || !iterate()) return false;
  }
  const pa_sample_spec spec{PA_SAMPLE_FLOAT32LE, kSampleRate, kChannels};
  stream_ = pa_stream_new(context_, "Tovik stream", &spec, nullptr);
  if (stream_ == nullptr) return false;
  pa_stream_set_state_callback(stream_, &PulseSink::on_stream_state, this);
  pa_stream_set_write_callback(stream_, &PulseSink::on_write, this);
  const std::uint32_t bytes_per_ms = kSampleRate / 1000 * kFrameBytes;
  pa_buffer_attr attr{};
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.tlength = kTargetBufferMs * bytes_per_ms;
  attr.prebuf = static_cast<std::uint32_t>(-1);
  attr.minreq = kRequestMs * bytes_per_ms;
  attr.fragsize = static_cast<std::uint32_t>(-1);
  const auto flags =
      static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING);
  if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0) {
    return false;
  }
  while (pa_stream_get_state(stream_) != PA_STREAM_READY) {
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream_)) || !iterate()) return false;
  }
  return true;
}

bool PulseSink::iterate() { return pa_mainloop_iterate(mainloop_, 1, nullptr) >= 0; }

void PulseSink::on_state(pa_context* context, void* self) {
  if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context)))
    static_cast<PulseSink*>(self)->failed_ = true;
}

void PulseSink::on_stream_state(pa_stream* stream, void* self) {
  if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream)))
    static_cast<PulseSink*>(self)->failed_ = true;
}

void PulseSink::on_write(pa_stream* /*stream*/, std::size_t bytes, void* self) {
  static_cast<PulseSink*>(self)->fill(bytes);
}

// Renders what the server asked for straight into its buffer.
void PulseSink::fill(std::size_t bytes) {
  if (render_ == nullptr) return;  // asked before run(): run() answers it
  while (bytes >= kFrameBytes && !failed_) {
    void* data = nullptr;
    std::size_t size = bytes;
    if (pa_stream_begin_write(stream_, &data, &size) < 0 || data == nullptr) {
      failed_ = true;
      return;
    }
    const int frames = static_cast<int>(std::min(size, bytes) / kFrameBytes);
    (*render_)(static_cast<float*>(data), frames, next_play_ns(system_steady_clock().now_ns()));
    const std::size_t written = static_cast<std::size_t>(frames) * kFrameBytes;
    if (pa_stream_write(stream_, data, written, nullptr, 0, PA_SEEK_RELATIVE) < 0) failed_ = true;
    bytes -= written;
  }
}

bool PulseSink::run(const std::atomic<bool>& running, const RenderFunction& render) {
  if (stream_ == nullptr) return false;
  const Clock& clock = system_steady_clock();
  std::int64_t next_timing_ns = clock.now_ns();
  render_ = &render;
  fill(pa_stream_writable_size(stream_));
  while (running && !failed_) {
    if (clock.now_ns() >= next_timing_ns) {
      pa_operation* asked = pa_stream_update_timing_info(stream_, nullptr, nullptr);
      if (asked != nullptr) pa_operation_unref(asked);
      next_timing_ns += kTimingUpdateNs;
    }
    if (pa_mainloop_prepare(mainloop_, clock.wait_ms(next_timing_ns) * 1000) < 0) break;
    if (pa_mainloop_poll(mainloop_) >= 0) pa_mainloop_dispatch(mainloop_);
  }
  render_ = nullptr;
  return !failed_;
}

void PulseSink::wake() {
  if (mainloop_ != nullptr) pa_mainloop_wakeup(mainloop_);
}

bool PulseSink::write(const float* samples, int frames) {
  if (stream_ == nullptr) return false;
  const std::size_t bytes = static_cast<std::size_t>(frames) * kFrameBytes;
  while (!failed_ && pa_stream_writable_size(stream_) < bytes) {
    if (!iterate()) return false;
  }
  return !failed_ && pa_stream_write(stream_, samples, bytes, nullptr, 0, PA_SEEK_RELATIVE) == 0;
}

std::int64_t PulseSink::output_delay_ns() {
  pa_usec_t latency = 0;
  int negative = 0;
  if (stream_ == nullptr || pa_stream_get_latency(stream_, &latency, &negative) < 0) return 0;
  return negative != 0 ? 0 : static_cast<std::int64_t>(latency) * 1000;
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
  if (stream_ != nullptr) {
    pa_operation* drained = pa_stream_drain(stream_, nullptr, nullptr);
    while (drained != nullptr && pa_operation_get_state(drained) == PA_OPERATION_RUNNING &&
           !failed_ && iterate()) {
    }
    if (drained != nullptr) pa_operation_unref(drained);
    pa_stream_set_write_callback(stream_, nullptr, nullptr);
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
  }
  if (context_ != nullptr) {
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
  }
  if (mainloop_ != nullptr) pa_mainloop_free(mainloop_);
  mainloop_ = nullptr;
}
