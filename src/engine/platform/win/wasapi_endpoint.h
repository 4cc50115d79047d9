#pragma once

#include <audioclient.h>
#include <mmdeviceapi.h>
#include <windows.h>

#include "engine/audio_endpoint.h"

// Shared-mode WASAPI loopback of the default render device (eRender,
// eConsole), 20 ms buffer, polled through its capture client.
class WasapiEndpoint final : public AudioEndpoint {
 public:
  WasapiEndpoint() = default;
  ~WasapiEndpoint() override;
  WasapiEndpoint(const WasapiEndpoint&) = delete;
  WasapiEndpoint& operator=(const WasapiEndpoint&) = delete;

  ErrorCode open_device() override;
  MixFormat mix_format() const override { return mix_; }
  ErrorCode initialize() override;
  void enter_thread() override;
  void leave_thread() override;
  void start() override;
  void stop() override;
  void next_packet_size(std::uint32_t* frames) override;
  bool borrow(EndpointPacket* packet) override;
  void release(std::uint32_t frames) override;

 private:
  ErrorCode open_default_device();
  static bool holds_float(const WAVEFORMATEX& format);
  static void log_failure(const char* action, HRESULT hr);

  IMMDevice* device_ = nullptr;
  IAudioClient* client_ = nullptr;
  IAudioCaptureClient* capture_ = nullptr;
  WAVEFORMATEX* format_ = nullptr;
  MixFormat mix_;
};
