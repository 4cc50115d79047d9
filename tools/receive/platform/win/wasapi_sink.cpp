#include "platform/win/wasapi_sink.h"

#include "app/logs.h"
#include "engine/platform/win/core_audio.h"
#include "transport/steady_clock.h"

namespace {

// The device buffer, 40 ms in 100-ns units: filled whole at each period's
// event, it carries the output through a playout thread woken 30 ms late.
constexpr REFERENCE_TIME kBufferDuration = 400000;
// How long run() waits for the device's event (every 10 ms) before it looks
// anyway: two periods, so that a system that sends no events is still fed.
constexpr DWORD kEventWaitMs = 20;
constexpr DWORD kNoDeviceWaitMs = 500;
// How often the default output is compared with the one played to.
constexpr ULONGLONG kDefaultLookMs = 500;
// The hand-over timeline follows what the buffer's fill says by this share
// per pass: the fill moves in device periods (and in wine's own steps), so
// alone it would look like jitter; the timeline keeps the device's pace.
constexpr std::int64_t kTimelineFollow = 32;
// A gap larger than this (an underrun, a new device) is taken at once.
constexpr std::int64_t kTimelineJumpNs = 30000000;

}  // namespace

WasapiSink::WasapiSink(int period_frames)
    : period_(period_frames),
      watch_(new DeviceWatch(eRender)),
      audio_event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

WasapiSink::~WasapiSink() {
  close();
  watch_->Release();
  if (audio_event_ != nullptr) CloseHandle(audio_event_);
}

// The starting thread joins the multithreaded apartment for the process's
// life; the enumerator stays until close, it delivers the notifications.
ErrorCode WasapiSink::open() {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (enumerator_ == nullptr) enumerator_ = create_device_enumerator();
  if (enumerator_ == nullptr) return ErrorCode::NoAudioDevice;
  if (!watching_) {
    const HRESULT hr = enumerator_->RegisterEndpointNotificationCallback(watch_);
    watching_ = SUCCEEDED(hr);
    if (!watching_) log_wasapi_failure("watch devices", hr);
  }
  return open_default();
}

// Without a usable output run() tries again twice a second: only the first
// failure of a run of them is logged.
ErrorCode WasapiSink::open_default() {
  release_device();
  HRESULT hr = enumerator_->GetDefaultAudioEndpoint(eRender, eConsole, &device_);
  if (FAILED(hr)) device_ = nullptr;
  const char* failed = "default output";
  if (SUCCEEDED(hr) && device_ != nullptr) {
    device_id_ = device_endpoint_id(device_);
    watch_->set_current(device_id_);
    hr = initialize_client();
    failed = "open output";
  }
  if (SUCCEEDED(hr) && device_ != nullptr) {
    failing_ = false;
    return ErrorCode::Ok;
  }
  if (!failing_) log_wasapi_failure(failed, hr);
  failing_ = true;
  release_device();
  return ErrorCode::NoAudioDevice;
}

HRESULT WasapiSink::initialize_client() {
  HRESULT hr = device_->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                                 reinterpret_cast<void**>(&client_));
  if (FAILED(hr)) return hr;
  WAVEFORMATEX* format = nullptr;
  hr = client_->GetMixFormat(&format);
  if (FAILED(hr)) return hr;
  rate_ = static_cast<int>(format->nSamplesPerSec);
  const int channels = format->nChannels;
  const bool fits = mix_format_is_float(*format) && OutputConverter::supports(rate_, channels);
  if (fits) {
    hr = client_->Initialize(AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_EVENTCALLBACK,
                             kBufferDuration, 0, format, nullptr);
  }
  CoTaskMemFree(format);
  if (!fits) return AUDCLNT_E_UNSUPPORTED_FORMAT;
  if (SUCCEEDED(hr)) hr = client_->SetEventHandle(audio_event_);
  if (SUCCEEDED(hr)) hr = client_->GetBufferSize(&buffer_frames_);
  if (SUCCEEDED(hr)) {
    hr = client_->GetService(__uuidof(IAudioRenderClient),
                             reinterpret_cast<void**>(&render_client_));
  }
  if (SUCCEEDED(hr)) {
    converter_ =
        std::make_unique<OutputConverter>(rate_, channels, static_cast<int>(buffer_frames_));
  }
  return hr;
}

void WasapiSink::release_device() {
  if (client_ != nullptr && started_) client_->Stop();
  started_ = false;
  release_com(render_client_);
  release_com(client_);
  release_com(device_);
  converter_.reset();
  device_id_.clear();
  watch_->set_current("");
}

bool WasapiSink::run(const std::atomic<bool>& running, const RenderFunction& render) {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  const HANDLE events[] = {audio_event_, watch_->wake_event()};
  while (running) {
    if (!follow_default()) {
      WaitForSingleObject(watch_->wake_event(), kNoDeviceWaitMs);
      continue;
    }
    // The first pass fills the whole buffer before the device starts.
    if (feed(render) && !started_) {
      check(client_->Start());
      started_ = true;
    }
    WaitForMultipleObjects(2, events, FALSE, kEventWaitMs);
  }
  release_device();
  CoUninitialize();
  return true;
}

// Moves to the default output when it changed or the device was lost;
// false while there is none.
bool WasapiSink::follow_default() {
  const ULONGLONG now = GetTickCount64();
  if (client_ != nullptr && now >= next_default_look_) {
    next_default_look_ = now + kDefaultLookMs;
    if (default_endpoint_id(enumerator_, eRender) != device_id_) watch_->raise_change();
  }
  if (client_ != nullptr && !watch_->take_change()) return true;
  if (open_default() != ErrorCode::Ok) return false;
  debug_logf("wasapi: follow default output: %s", device_id_.c_str());
  return true;
}

// Renders what the buffer has room for. The next sample written is heard
// once the padding has played; less the whole buffer, that is the hand-over
// timeline the playout measures its delay on (a late wake-up finds more
// room, not a later time).
bool WasapiSink::feed(const RenderFunction& render) {
  UINT32 padding = 0;
  HRESULT hr = client_->GetCurrentPadding(&padding);
  const UINT32 room = buffer_frames_ - padding;
  if (FAILED(hr) || room == 0) {
    check(hr);
    return SUCCEEDED(hr);
  }
  BYTE* data = nullptr;
  hr = render_client_->GetBuffer(room, &data);
  if (FAILED(hr)) {
    check(hr);
    return false;
  }
  const std::int64_t play_ns = next_play(padding);
  converter_->fill(reinterpret_cast<float*>(data), static_cast<int>(room), render, play_ns);
  check(render_client_->ReleaseBuffer(room, 0));
  timeline_ns_ = play_ns + std::int64_t{room} * 1000000000 / rate_;
  return true;
}

std::int64_t WasapiSink::next_play(UINT32 padding) {
  const std::int64_t measured =
      system_steady_clock().now_ns() +
      (std::int64_t{padding} - std::int64_t{buffer_frames_}) * 1000000000 / rate_;
  const std::int64_t error = measured - timeline_ns_;
  if (!started_ || error > kTimelineJumpNs || error < -kTimelineJumpNs) return measured;
  return timeline_ns_ + error / kTimelineFollow;
}

void WasapiSink::check(HRESULT hr) {
  if (device_lost(hr)) watch_->raise_change();
}

void WasapiSink::close() {
  release_device();
  if (watching_) enumerator_->UnregisterEndpointNotificationCallback(watch_);
  watching_ = false;
  release_com(enumerator_);
}
