#pragma once

#include <audioclient.h>
#include <mmdeviceapi.h>
#include <windows.h>

#include <memory>
#include <string>

#include "audio_sink.h"
#include "engine/platform/win/device_watch.h"
#include "output_converter.h"

// Shared-mode WASAPI playback on the default output (eRender, eConsole),
// event-driven: the audio engine sets an event each device period, and the
// playout thread then renders what the buffer has room for straight into it,
// converted to the device's mix format. A DeviceWatch follows the default
// output; where the notifications do not come (wine sends none), run() also
// looks at the default twice a second. Opened on the starting thread, run
// on the playout thread, both in the multithreaded apartment.
class WasapiSink final : public AudioSink {
 public:
  explicit WasapiSink(int period_frames);
  ~WasapiSink() override;
  WasapiSink(const WasapiSink&) = delete;
  WasapiSink& operator=(const WasapiSink&) = delete;

  ErrorCode open() override;
  int period_frames() const override { return period_; }
  bool run(const std::atomic<bool>& running, const RenderFunction& render) override;
  void wake() override { watch_->wake(); }
  // The device asks for audio itself: only run() feeds it.
  bool write(const float* /*samples*/, int /*frames*/) override { return false; }
  void close() override;

 private:
  ErrorCode open_default();
  HRESULT initialize_client();
  void release_device();
  bool follow_default();
  bool feed(const RenderFunction& render);
  std::int64_t next_play(UINT32 padding);
  void check(HRESULT hr);

  int period_;
  DeviceWatch* watch_;
  IMMDeviceEnumerator* enumerator_ = nullptr;
  bool watching_ = false;
  IMMDevice* device_ = nullptr;
  IAudioClient* client_ = nullptr;
  IAudioRenderClient* render_client_ = nullptr;
  std::string device_id_;
  int rate_ = 0;
  UINT32 buffer_frames_ = 0;
  std::unique_ptr<OutputConverter> converter_;
  bool started_ = false;
  bool failing_ = false;          // the last opening failed (and was logged)
  std::int64_t timeline_ns_ = 0;  // when the next sample written leaves
  HANDLE audio_event_;            // auto-reset, set by the audio engine each period
  ULONGLONG next_default_look_ = 0;
};
