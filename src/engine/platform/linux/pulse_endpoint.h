#pragma once

#include <pulse/pulseaudio.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "engine/audio_endpoint.h"
#include "engine/device_change_filter.h"
#include "engine/startup_silence.h"

// The monitor source of PulseAudio's default sink (PipeWire's pulse server
// too), recorded as float32 in the sink's own rate and channel count. The
// capture thread runs libpulse's main loop itself: it sleeps in wait() until
// the server delivers a fragment or reports a change of sinks, so one
// wake-up brings each fragment and nothing else wakes it. While the capture
// is stopped the stream is corked and asks for long fragments, so the sink
// need not render in small blocks for nobody.
class PulseEndpoint final : public AudioEndpoint {
 public:
  PulseEndpoint() = default;
  ~PulseEndpoint() override;
  PulseEndpoint(const PulseEndpoint&) = delete;
  PulseEndpoint& operator=(const PulseEndpoint&) = delete;

  ErrorCode open_device() override;
  MixFormat mix_format() const override { return format_; }
  ErrorCode initialize() override;
  void close_device() override;
  std::string device_name() const override { return sink_; }
  void start() override;
  void stop() override;
  bool wait(int timeout_ms) override;
  void wake() override;
  bool take_device_change() override { return device_changed_.exchange(false); }
  void next_packet_size(std::uint32_t* frames) override;
  bool borrow(EndpointPacket* packet) override;
  void release(std::uint32_t frames) override;

 private:
  bool connect_context();
  void drop_context();
  bool query_default_sink();
  bool run_until_done(pa_operation* operation);
  bool wait_stream_ready();
  void ask_for_fragments(bool small);
  void cork(bool corked);
  void note_change();
  void log_failure(const char* action);
  void log_once(const char* format, const char* what, const char* detail);
  int bridge_wait_ms(int timeout_ms) const;

  static void on_context_state(pa_context* context, void* self);
  static void on_stream_state(pa_stream* stream, void* self);
  static void on_read(pa_stream* stream, std::size_t bytes, void* self);
  static void on_event(pa_context* context, pa_subscription_event_type_t type, std::uint32_t index,
                       void* self);
  static void on_server_info(pa_context* context, const pa_server_info* info, void* self);
  static void on_default_sink(pa_context* context, const pa_server_info* info, void* self);
  static void on_sink_info(pa_context* context, const pa_sink_info* info, int eol, void* self);

  pa_mainloop* mainloop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  std::string default_sink_;  // as the server named it last
  std::string sink_;          // the sink whose monitor is captured
  std::uint32_t sink_index_ = PA_INVALID_INDEX;
  std::string monitor_source_;
  MixFormat format_;
  std::size_t frame_bytes_ = 0;
  bool peeked_ = false;
  bool signalled_ = false;
  std::atomic<bool> device_changed_{false};
  DeviceChangeFilter filter_;
  StartupSilence bridge_{48000, 480};
  std::uint32_t bridge_frames_ = 0;  // silence offered by next_packet_size
  bool bridge_borrowed_ = false;
  std::set<std::string> logged_;  // failures told since the last good opening
};
