#include "engine/platform/linux/pulse_endpoint.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>

#include "app/logs.h"
#include "engine/channel_layout.h"

namespace {

// While capturing: 10 ms fragments, so a frame leaves soon after its end.
constexpr pa_usec_t kFragmentUsec = 10000;
// While stopped: long fragments, so that our corked stream does not keep the
// sink rendering in 10 ms blocks. A sink that rendered in long blocks takes
// up to one of them to deliver after a start; the start-up silence bridges it.
constexpr pa_usec_t kIdleFragmentUsec = 200000;

std::int64_t now_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

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
  close_device();
  drop_context();
  if (mainloop_ != nullptr) pa_mainloop_free(mainloop_);
}

void PulseEndpoint::log_failure(const char* action) {
  const int error = context_ != nullptr ? pa_context_errno(context_) : PA_ERR_INTERNAL;
  log_once("pulse: %s: %s", action, pa_strerror(error));
}

// While the capture waits for a device it tries again and again: each
// failure is told once, until an opening succeeds.
void PulseEndpoint::log_once(const char* format, const char* what, const char* detail) {
  char line[kLogLineSize];
  std::snprintf(line, sizeof line, format, what, detail);
  if (logged_.count(line) != 0) return;
  logged_.insert(line);
  debug_log(line);
}

ErrorCode PulseEndpoint::open_device() {
  if (mainloop_ == nullptr) mainloop_ = pa_mainloop_new();
  if (mainloop_ == nullptr) {
    log_once("pulse: %s: %s", "new mainloop", "failed");
    return ErrorCode::NoAudioDevice;
  }
  // A server that went away (restarted) is connected to afresh.
  if (context_ != nullptr && pa_context_get_state(context_) != PA_CONTEXT_READY) drop_context();
  if (context_ == nullptr && !connect_context()) return ErrorCode::NoAudioDevice;
  if (!query_default_sink()) return ErrorCode::NoAudioDevice;
  logged_.clear();
  frame_bytes_ = sizeof(float) * static_cast<std::size_t>(format_.channels);
  filter_.set_current(sink_);
  bridge_ =
      StartupSilence(format_.sample_rate, static_cast<std::uint32_t>(format_.sample_rate / 100));
  return ErrorCode::Ok;
}

bool PulseEndpoint::connect_context() {
  context_ = pa_context_new(pa_mainloop_get_api(mainloop_), "Tovik");
  if (context_ == nullptr) {
    log_once("pulse: %s: %s", "new context", "failed");
    return false;
  }
  pa_context_set_state_callback(context_, &PulseEndpoint::on_context_state, this);
  if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
    log_failure("connect");
    return false;
  }
  for (;;) {
    const pa_context_state_t state = pa_context_get_state(context_);
    if (state == PA_CONTEXT_READY) break;
    if (!PA_CONTEXT_IS_GOOD(state) || pa_mainloop_iterate(mainloop_, 1, nullptr) < 0) {
      log_failure("connect");
      return false;
    }
  }
  // The default sink and the sinks themselves: what the capture follows.
  pa_context_set_subscribe_callback(context_, &PulseEndpoint::on_event, this);
  const auto mask =
      static_cast<pa_subscription_mask_t>(PA_SUBSCRIPTION_MASK_SERVER | PA_SUBSCRIPTION_MASK_SINK);
  pa_operation* subscribed = pa_context_subscribe(context_, mask, nullptr, nullptr);
  if (subscribed != nullptr) pa_operation_unref(subscribed);
  return true;
}

void PulseEndpoint::drop_context() {
  if (context_ == nullptr) return;
  pa_context_set_state_callback(context_, nullptr, nullptr);
  pa_context_set_subscribe_callback(context_, nullptr, nullptr);
  pa_context_disconnect(context_);
  pa_context_unref(context_);
  context_ = nullptr;
}

bool PulseEndpoint::query_default_sink() {
  default_sink_.clear();
  if (!run_until_done(pa_context_get_server_info(context_, &PulseEndpoint::on_server_info, this)) ||
      default_sink_.empty()) {
    log_once("pulse: %s: %s", "default sink", "none");
    return false;
  }
  // What was reported before the server answered is in its answer.
  device_changed_ = false;
  sink_ = default_sink_;
  monitor_source_.clear();
  format_ = MixFormat();
  if (!run_until_done(pa_context_get_sink_info_by_name(context_, sink_.c_str(),
                                                       &PulseEndpoint::on_sink_info, this)) ||
      monitor_source_.empty() || format_.channels <= 0) {
    log_once("pulse: %s: %s has no monitor", "sink info", sink_.c_str());
    return false;
  }
  return true;
}

bool PulseEndpoint::run_until_done(pa_operation* operation) {
  if (operation == nullptr) return false;
  while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) {
    if (pa_mainloop_iterate(mainloop_, 1, nullptr) < 0) break;
  }
  const bool done = pa_operation_get_state(operation) == PA_OPERATION_DONE;
  pa_operation_unref(operation);
  return done;
}

void PulseEndpoint::note_change() { device_changed_ = true; }

void PulseEndpoint::on_context_state(pa_context* context, void* self) {
  if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) {
    static_cast<PulseEndpoint*>(self)->note_change();
  }
}

void PulseEndpoint::on_stream_state(pa_stream* stream, void* self) {
  // DONT_MOVE: a stream whose sink goes away fails instead of being moved
  // to some other source (a microphone, say).
  if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
    static_cast<PulseEndpoint*>(self)->note_change();
  }
}

void PulseEndpoint::on_read(pa_stream* /*stream*/, std::size_t /*bytes*/, void* self) {
  static_cast<PulseEndpoint*>(self)->signalled_ = true;
}

void PulseEndpoint::on_event(pa_context* context, pa_subscription_event_type_t type,
                             std::uint32_t index, void* self) {
  auto* endpoint = static_cast<PulseEndpoint*>(self);
  const unsigned facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
  const unsigned kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
  if (facility == PA_SUBSCRIPTION_EVENT_SERVER) {
    // Something about the server changed; which default sink it has now
    // comes with the answer.
    pa_operation* asked =
        pa_context_get_server_info(context, &PulseEndpoint::on_default_sink, self);
    if (asked != nullptr) pa_operation_unref(asked);
  } else if (facility == PA_SUBSCRIPTION_EVENT_SINK) {
    const bool lost = kind == PA_SUBSCRIPTION_EVENT_REMOVE && index == endpoint->sink_index_ &&
                      endpoint->filter_.on_device_removed(endpoint->sink_);
    const bool added = kind == PA_SUBSCRIPTION_EVENT_NEW && endpoint->filter_.on_device_added("");
    if (lost || added) endpoint->note_change();
  }
}

void PulseEndpoint::on_server_info(pa_context* /*context*/, const pa_server_info* info,
                                   void* self) {
  auto* endpoint = static_cast<PulseEndpoint*>(self);
  if (info != nullptr && info->default_sink_name != nullptr) {
    endpoint->default_sink_ = info->default_sink_name;
  }
}

void PulseEndpoint::on_default_sink(pa_context* /*context*/, const pa_server_info* info,
                                    void* self) {
  auto* endpoint = static_cast<PulseEndpoint*>(self);
  if (info == nullptr) return;
  const std::string name = info->default_sink_name != nullptr ? info->default_sink_name : "";
  if (endpoint->filter_.on_default_changed(name)) endpoint->note_change();
}

void PulseEndpoint::on_sink_info(pa_context* /*context*/, const pa_sink_info* info, int eol,
                                 void* self) {
  auto* endpoint = static_cast<PulseEndpoint*>(self);
  if (eol != 0 || info == nullptr) return;
  if (info->monitor_source_name != nullptr) endpoint->monitor_source_ = info->monitor_source_name;
  endpoint->sink_index_ = info->index;
  // The stream asks for float: the server converts from the sink's own sample type.
  endpoint->format_ = {true, static_cast<int>(info->sample_spec.rate),
                       static_cast<int>(info->sample_spec.channels)};
}

ErrorCode PulseEndpoint::initialize() {
  if (mainloop_ == nullptr || context_ == nullptr) return ErrorCode::CaptureFailed;
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
  pa_stream_set_read_callback(stream_, &PulseEndpoint::on_read, this);
  pa_buffer_attr attr;
  attr.maxlength = static_cast<std::uint32_t>(-1);
  attr.tlength = attr.prebuf = attr.minreq = static_cast<std::uint32_t>(-1);
  attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(kIdleFragmentUsec, &spec));
  const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_ADJUST_LATENCY |
                                                    PA_STREAM_START_CORKED | PA_STREAM_DONT_MOVE);
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
    if (!PA_STREAM_IS_GOOD(state) || pa_mainloop_iterate(mainloop_, 1, nullptr) < 0) return false;
  }
}

void PulseEndpoint::close_device() {
  bridge_.stop();
  bridge_frames_ = 0;
  bridge_borrowed_ = false;
  if (stream_ != nullptr) {
    if (peeked_) pa_stream_drop(stream_);
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_read_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
  }
  peeked_ = false;
  sink_.clear();
  sink_index_ = PA_INVALID_INDEX;
  filter_.set_current("");
}

void PulseEndpoint::ask_for_fragments(bool small) {
  // A stream that failed (its sink went away) has no attributes to change.
  const pa_buffer_attr* current = stream_ != nullptr ? pa_stream_get_buffer_attr(stream_) : nullptr;
  if (current == nullptr) return;
  pa_buffer_attr attr = *current;
  attr.fragsize = static_cast<std::uint32_t>(pa_usec_to_bytes(
      small ? kFragmentUsec : kIdleFragmentUsec, pa_stream_get_sample_spec(stream_)));
  pa_operation* operation = pa_stream_set_buffer_attr(stream_, &attr, nullptr, nullptr);
  if (operation != nullptr) pa_operation_unref(operation);
}

void PulseEndpoint::cork(bool corked) {
  if (stream_ == nullptr) return;
  pa_operation* operation = pa_stream_cork(stream_, corked ? 1 : 0, nullptr, nullptr);
  if (operation != nullptr) pa_operation_unref(operation);
}

void PulseEndpoint::start() {
  ask_for_fragments(true);
  cork(false);
  bridge_.start(now_ns());
}

void PulseEndpoint::stop() {
  cork(true);
  ask_for_fragments(false);
  bridge_.stop();
  bridge_frames_ = 0;
}

// A wait that the start-up silence shortens to its next period.
int PulseEndpoint::bridge_wait_ms(int timeout_ms) const {
  const std::int64_t due = bridge_.next_due_ns();
  if (due < 0) return timeout_ms;
  const std::int64_t left_ns = std::max<std::int64_t>(0, due - now_ns());
  const int left_ms = static_cast<int>((left_ns + 999999) / 1000000);
  return timeout_ms < 0 ? left_ms : std::min(timeout_ms, left_ms);
}

bool PulseEndpoint::wait(int timeout_ms) {
  if (mainloop_ == nullptr) return false;
  signalled_ = false;
  const int wait_ms = bridge_wait_ms(timeout_ms);
  if (pa_mainloop_prepare(mainloop_, wait_ms < 0 ? -1 : wait_ms * 1000) < 0) return false;
  // A failed poll (a signal) leaves nothing to dispatch.
  if (pa_mainloop_poll(mainloop_) >= 0) pa_mainloop_dispatch(mainloop_);
  const std::int64_t due = bridge_.next_due_ns();
  return signalled_ || (due >= 0 && due <= now_ns());
}

void PulseEndpoint::wake() {
  if (mainloop_ != nullptr) pa_mainloop_wakeup(mainloop_);
}

void PulseEndpoint::next_packet_size(std::uint32_t* frames) {
  if (stream_ == nullptr || frame_bytes_ == 0) return;
  const std::size_t bytes = pa_stream_readable_size(stream_);
  if (bytes == static_cast<std::size_t>(-1)) return;
  if (bytes != 0) {
    // The server delivers: no more stand-in silence.
    bridge_.stop();
    bridge_frames_ = 0;
    // Less than a frame still has to be peeked and dropped.
    *frames = bytes < frame_bytes_ ? 1 : static_cast<std::uint32_t>(bytes / frame_bytes_);
    return;
  }
  if (bridge_frames_ == 0) bridge_frames_ = bridge_.take_due(now_ns());
  *frames = bridge_frames_;
}

bool PulseEndpoint::borrow(EndpointPacket* packet) {
  if (stream_ == nullptr || frame_bytes_ == 0) return false;
  if (bridge_frames_ != 0) {
    packet->frames = bridge_frames_;
    packet->silent = true;
    bridge_borrowed_ = true;
    return true;
  }
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
  if (bridge_borrowed_) {
    bridge_borrowed_ = false;
    bridge_frames_ = 0;
    return;
  }
  if (!peeked_) return;
  pa_stream_drop(stream_);
  peeked_ = false;
}

#if defined(__SANITIZE_THREAD__)
// libpulse is not instrumented: ThreadSanitizer cannot see how it hands its
// wake-up pipe between the thread that wakes the main loop and the one that
// runs it, and reports races inside it. Built only into ThreadSanitizer builds.
extern "C" const char* __tsan_default_suppressions() { return "race:libpulse\n"; }
#endif
