#include "engine/platform/linux/pulse_endpoint.h"

#include <cstdio>

#include "app/logs.h"
#include "engine/channel_layout.h"

namespace {

// Small fragments keep the capture close to the 10 ms polling pace.
constexpr pa_usec_t kFragmentUsec = 10000;

// Scoped hold of the threaded mainloop's lock.
class MainloopLock {
 public:
  explicit MainloopLock(pa_threaded_mainloop* mainloop) : mainloop_(mainloop) {
    pa_threaded_mainloop_lock(mainloop_);
  }
  ~MainloopLock() { pa_threaded_mainloop_unlock(mainloop_); }
  MainloopLock(const MainloopLock&) = delete;
  MainloopLock& operator=(const MainloopLock&) = delete;

 private:
  pa_threaded_mainloop* mainloop_;
};

pa_channel_position_t pulse_position(SpeakerRole role, int index) {
  switch (role) {
    case SpeakerRole::Mono:
      return PA_CHANNEL_POSITION_MONO;
    case SpeakerRole::FrontLeft:
      return PA_CHANNEL_POSITION_FRONT_LEFT;
    case SpeakerRole::FrontRight:
      return PA_CHANNEL_POSITION_FRONT_RIGHT;
    case SpeakerRole::FrontCenter:
      return PA_CHANNEL_POSITION_FRONT_CENTER;
    case SpeakerRole::Lfe:
      return PA_CHANNEL_POSITION_LFE;
    case SpeakerRole::BackLeft:
      return PA_CHANNEL_POSITION_REAR_LEFT;
    case SpeakerRole::BackRight:
      return PA_CHANNEL_POSITION_REAR_RIGHT;
    case SpeakerRole::SideLeft:
      return PA_CHANNEL_POSITION_SIDE_LEFT;
    case SpeakerRole::SideRight:
      return PA_CHANNEL_POSITION_SIDE_RIGHT;
    case SpeakerRole::BackCenter:
      return PA_CHANNEL_POSITION_REAR_CENTER;
    case SpeakerRole::Other:
      break;
  }
  return static_cast<pa_channel_position_t>(PA_CHANNEL_POSITION_AUX0 + (index % 32));
}

// Asks the server for our own channel order, so the down-mix sees the same
// layout on every platform.
pa_channel_map channel_map_for(int channels) {
  pa_channel_map map;
  pa_channel_map_init(&map);
  map.channels = static_cast<std::uint8_t>(channels);
  const std::vector<SpeakerRole> roles = speaker_layout(channels);
  for (int i = 0; i < channels; ++i) map.map[i] = pulse_position(roles[i], i);
  return map;
}

}  // namespace

std::unique_ptr<AudioEndpoint> make_system_audio_endpoint() {
  return std::make_unique<PulseEndpoint>();
}

PulseEndpoint::~PulseEndpoint() {
  if (mainloop_ == nullptr) return;
  {
    MainloopLock lock(mainloop_);
    if (stream_ != nullptr) {
      pa_stream_disconnect(stream_);
      pa_stream_unref(stream_);
    }
    if (context_ != nullptr) {
      pa_context_disconnect(context_);
      pa_context_unref(context_);
    }
  }
  pa_threaded_mainloop_stop(mainloop_);
  pa_threaded_mainloop_free(mainloop_);
}

void PulseEndpoint::log_failure(const char* action) {
  char line[kLogLineSize];
  const int error = context_ != nullptr ? pa_context_errno(context_) : PA_ERR_INTERNAL;
  std::snprintf(line, sizeof line, "pulse: %s: %s", action, pa_strerror(error));
  debug_log(line);
}

ErrorCode PulseEndpoint::open_device() {
  mainloop_ = pa_threaded_mainloop_new();
  if (mainloop_ == nullptr || pa_threaded_mainloop_start(mainloop_) < 0) {
    debug_log("pulse: start mainloop: failed");
    return ErrorCode::NoAudioDevice;
  }
  MainloopLock lock(mainloop_);
  if (!connect_context()) return ErrorCode::NoAudioDevice;
  if (!query_default_sink()) return ErrorCode::NoAudioDevice;
  frame_bytes_ = sizeof(float) * static_cast<std::size_t>(format_.channels);
  return ErrorCode::Ok;
}

bool PulseEndpoint::connect_context() {
  context_ = pa_context_new(pa_threaded_mainloop_get_api(mainloop_), "Tovik");
  if (context_ == nullptr) {
    debug_log("pulse: new context: failed");
    return false;
  }
  pa_context_set_state_callback(context_, &PulseEndpoint::on_context_state, this);
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    log_failure("connect");
    return false;
  }
  for (;;) {
    const pa_context_state_t state = pa_context_get_state(context_);
    if (state == PA_CONTEXT_READY) return true;
    if (!PA_CONTEXT_IS_GOOD(state)) {
      log_failure("connect");
      return false;
    }
    pa_threaded_mainloop_wait(mainloop_);
  }
}

bool PulseEndpoint::query_default_sink() {
  if (!wait_for(pa_context_get_server_info(context_, &PulseEndpoint::on_server_info, this)) ||
      default_sink_.empty()) {
    debug_log("pulse: default sink: none");
    return false;
  }
  if (!wait_for(pa_context_get_sink_info_by_name(context_, default_sink_.c_str(),
                                                 &PulseEndpoint::on_sink_info, this)) ||
      monitor_source_.empty() || format_.channels <= 0) {
    char line[kLogLineSize];
    std::snprintf(line, sizeof line, "pulse: sink info: %s has no monitor", default_sink_.c_str());
    debug_log(line);
    return false;
  }
  return true;
}

bool PulseEndpoint::wait_for(pa_operation* operation) {
  if (operation == nullptr) return false;
  while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) {
    pa_threaded_mainloop_wait(mainloop_);
  }
  const bool done = pa_operation_get_state(operation) == PA_OPERATION_DONE;
  pa_operation_unref(operation);
  return done;
}

void PulseEndpoint::on_context_state(pa_context* /*context*/, void* self) {
  pa_threaded_mainloop_signal(static_cast<PulseEndpoint*>(self)->mainloop_, 0);
}

void PulseEndpoint::on_stream_state(pa_stream* /*stream*/, void* self) {
  pa_threaded_mainloop_signal(static_cast<PulseEndpoint*>(self)->mainloop_, 0);
}

void PulseEndpoint::on_server_info(pa_context* /*context*/, const pa_server_info* info,
                                   void* self) {
  auto* endpoint = static_cast<PulseEndpoint*>(self);
  if (info != nullptr && info->default_sink_name != nullptr) {
    endpoint->default_sink_ = info->default_sink_name;
  }
  pa_threaded_mainloop_signal(endpoint->mainloop_, 0);
}

void PulseEndpoint::on_sink_info(pa_context* /*context*/, const pa_sink_info* info, int eol,
                                 void* self) {
  auto* endpoint = static_cast<PulseEndpoint*>(self);
  if (eol == 0 && info != nullptr) {
    if (info->monitor_source_name != nullptr) endpoint->monitor_source_ = info->monitor_source_name;
    // The stream asks for float: the server converts from the sink's own sample type.
    endpoint->format_ = {true, static_cast<int>(info->sample_spec.rate),
                         static_cast<int>(info->sample_spec.channels)};
  }
  pa_threaded_mainloop_signal(endpoint->mainloop_, 0);
}

ErrorCode PulseEndpoint::initialize() {
  if (mainloop_ == nullptr || context_ == nullptr) return ErrorCode::CaptureFailed;
  MainloopLock lock(mainloop_);
  pa_sample_spec spec;
  spec.format = PA_SAMPLE_FLOAT32NE;
  spec.rate = static_cast<std::uint32_t>(format_.sample_rate);
  spec.channels = static_cast<std::uint8_t>(format_.channels);
  const pa_channel_map map = channel_map_for(format_.channels);
  stream_ = pa_stream_new(context_, "Tovik capture", &spec, &map);
  if (stream_ == nullptr) {
    log_failure("new stream");
    return ErrorCode::CaptureFailed;
  }
  pa_stream_set_state_callback(stream_, &PulseEndpoint::on_stream_state, this);
  pa_buffer_attr attr;
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
  attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kFragmentUsec, &spec));
  const auto flags =
      static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY | PA_STREAM_START_CORKED);
  if (pa_stream_connect_record(stream_, monitor_source_.c_str(), &attr, flags) < 0 ||
      !wait_stream_ready()) {
    log_failure("connect record");
    return ErrorCode::CaptureFailed;
  }
  return ErrorCode::Ok;
}

bool PulseEndpoint::wait_stream_ready() {
  for (;;) {
    const pa_stream_state_t state = pa_stream_get_state(stream_);
    if (state == PA_STREAM_READY) return true;
    if (!PA_STREAM_IS_GOOD(state)) return false;
    pa_threaded_mainloop_wait(mainloop_);
  }
}

void PulseEndpoint::cork(bool corked) {
  if (stream_ == nullptr) return;
  MainloopLock lock(mainloop_);
  pa_operation* operation = pa_stream_cork(stream_, corked ? 1 : 0, nullptr, nullptr);
  if (operation != nullptr) pa_operation_unref(operation);
}

void PulseEndpoint::start() { cork(false); }
void PulseEndpoint::stop() { cork(true); }

void PulseEndpoint::next_packet_size(std::uint32_t* frames) {
  if (stream_ == nullptr || frame_bytes_ == 0) return;
  MainloopLock lock(mainloop_);
  const std::size_t bytes = pa_stream_readable_size(stream_);
  if (bytes == static_cast<std::size_t>(-1)) return;
  // Less than a frame still has to be peeked and dropped.
  *frames = bytes == 0             ? 0
            : bytes < frame_bytes_ ? 1
                                   : static_cast<std::uint32_t>(bytes / frame_bytes_);
}

bool PulseEndpoint::borrow(EndpointPacket* packet) {
  if (stream_ == nullptr || frame_bytes_ == 0) return false;
  MainloopLock lock(mainloop_);
  const void* data = nullptr;
  std::size_t bytes = 0;
  if (pa_stream_peek(stream_, &data, &bytes) < 0 || bytes == 0) return false;
  peeked_ = true;
  // The peeked block stays valid until the drop in release.
  packet->data = static_cast<const float*>(data);
  packet->frames = static_cast<std::uint32_t>(bytes / frame_bytes_);
  packet->silent = data == nullptr;  // a hole in the stream: silence
  return true;
}

void PulseEndpoint::release(std::uint32_t /*frames*/) {
  if (!peeked_) return;
  MainloopLock lock(mainloop_);
  pa_stream_drop(stream_);
  peeked_ = false;
}

#if defined(__SANITIZE_THREAD__)
// libpulse is not instrumented: ThreadSanitizer cannot see its internal
// hand-over of objects between its mainloop thread and ours and reports
// races inside it. Built only into ThreadSanitizer builds.
extern "C" const char* __tsan_default_suppressions() { return "race:libpulse\n"; }
#endif
