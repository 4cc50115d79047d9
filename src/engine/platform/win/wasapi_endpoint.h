#pragma once

#include <audioclient.h>
#include <mmdeviceapi.h>
#include <windows.h>

#include <string>

#include "engine/audio_endpoint.h"
#include "engine/platform/win/device_watch.h"

// Shared-mode WASAPI loopback of the default render device (eRender,
// eConsole), event-driven with a 100 ms buffer, so that a late wake-up loses
// nothing. Windows signals loopback events from 10 1703 on and never in
// silence; where it refuses them the stream is polled (the capture's timed
// wait covers both). A DeviceWatch follows the default device. Where the
// notifications do not come (wine does not send them), the capture also
// looks at the default device twice a second.
class WasapiEndpoint final : public AudioEndpoint {
 public:
  WasapiEndpoint();
  ~WasapiEndpoint() override;
  WasapiEndpoint(const WasapiEndpoint&) = delete;
  WasapiEndpoint& operator=(const WasapiEndpoint&) = delete;

  ErrorCode open_device() override;
  MixFormat mix_format() const override { return mix_; }
  ErrorCode initialize() override;
  void close_device() override;
  std::string device_name() const override { return device_id_; }
  void enter_thread() override;
  void leave_thread() override;
  void start() override;
  void stop() override;
  bool wait(int timeout_ms) override;
  void wake() override { watch_->wake(); }
  bool take_device_change() override { return watch_->take_change(); }
  void next_packet_size(std::uint32_t* frames) override;
  bool borrow(EndpointPacket* packet) override;
  void release(std::uint32_t frames) override;

 private:
  bool watch_devices();
  ErrorCode open_default_device();
  HRESULT activate_client();
  HRESULT initialize_client(DWORD flags);
  void check_device(HRESULT hr);
  void look_at_default();

  DeviceWatch* watch_;
  IMMDeviceEnumerator* enumerator_ = nullptr;
  bool watching_ = false;
  IMMDevice* device_ = nullptr;
  IAudioClient* client_ = nullptr;
  IAudioCaptureClient* capture_ = nullptr;
  WAVEFORMATEX* format_ = nullptr;
  MixFormat mix_;
  std::string device_id_;
  HANDLE audio_event_;  // auto-reset, set by the audio engine for each period
  ULONGLONG next_default_look_ = 0;
};
