#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <pulse/pulseaudio.h>

#include "engine/audio_endpoint.h"

// The monitor source of PulseAudio's default sink (PipeWire's pulse server
// too), recorded as float32 in the sink's own rate and channel count. All
// calls into libpulse hold the threaded mainloop's lock, as libpulse requires.
class PulseEndpoint final : public AudioEndpoint {
 public:
  PulseEndpoint() = default;
  ~PulseEndpoint() override;
  PulseEndpoint(const PulseEndpoint&) = delete;
  PulseEndpoint& operator=(const PulseEndpoint&) = delete;

  ErrorCode open_device() override;
  MixFormat mix_format() const override { return format_; }
  ErrorCode initialize() override;
  void start() override;
  void stop() override;
  void next_packet_size(std::uint32_t* frames) override;
  bool borrow(EndpointPacket* packet) override;
  void release(std::uint32_t frames) override;

 private:
  bool connect_context();
  bool query_default_sink();
  bool wait_for(pa_operation* operation);
  bool wait_stream_ready();
  void cork(bool corked);
  void log_failure(const char* action);

  static void on_context_state(pa_context* context, void* self);
  static void on_stream_state(pa_stream* stream, void* self);
  static void on_server_info(pa_context* context, const pa_server_info* info, void* self);
  static void on_sink_info(pa_context* context, const pa_sink_info* info, int eol, void* self);

  pa_threaded_mainloop* mainloop_ = nullptr;
  pa_context* context_ = nullptr;
  pa_stream* stream_ = nullptr;
  std::string default_sink_;
  std::string monitor_source_;
  MixFormat format_;
  std::size_t frame_bytes_ = 0;
  bool peeked_ = false;
};
