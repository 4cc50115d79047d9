#include "engine/platform/win/wasapi_endpoint.h"

#include <memory>

#include "engine/platform/win/core_audio.h"

namespace {

// How often the capture compares the default device with its own, for
// systems that do not report a change (wine) or a lost device.
constexpr ULONGLONG kDefaultLookMs = 500;
// 100 ms in 100-ns units: ten device periods, so a capture thread woken late
// (a busy machine, a 15.6 ms timer tick) still finds everything.
constexpr REFERENCE_TIME kBufferDuration = 1000000;

}  // namespace

std::unique_ptr<AudioEndpoint> make_system_audio_endpoint() {
  return std::make_unique<WasapiEndpoint>();
}

WasapiEndpoint::WasapiEndpoint()
    : watch_(new DeviceWatch(eRender)),
      audio_event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

WasapiEndpoint::~WasapiEndpoint() {
  close_device();
  if (watching_) enumerator_->UnregisterEndpointNotificationCallback(watch_);
  release_com(enumerator_);
  watch_->Release();
  if (audio_event_ != nullptr) CloseHandle(audio_event_);
}

ErrorCode WasapiEndpoint::open_device() {
  // The first opening, on the creating thread, joins the multithreaded
  // apartment for good; a later one runs on the capture thread, which
  // joined it in enter_thread.
  if (enumerator_ == nullptr) CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (!watch_devices()) return ErrorCode::NoAudioDevice;
  const ErrorCode opened = open_default_device();
  if (opened != ErrorCode::Ok) return opened;
  HRESULT hr = activate_client();
  if (FAILED(hr)) {
    log_wasapi_failure("activate audio client", hr);
    return ErrorCode::CaptureFailed;
  }
  hr = client_->GetMixFormat(&format_);
  if (FAILED(hr) || format_ == nullptr) {
    log_wasapi_failure("get mix format", hr);
    return ErrorCode::CaptureFailed;
  }
  mix_ = {mix_format_is_float(*format_), static_cast<int>(format_->nSamplesPerSec),
          static_cast<int>(format_->nChannels)};
  return ErrorCode::Ok;
}

// The enumerator stays for the endpoint's life: it delivers the notifications.
bool WasapiEndpoint::watch_devices() {
  if (enumerator_ != nullptr) return true;
  enumerator_ = create_device_enumerator();
  if (enumerator_ == nullptr) return false;
  const HRESULT hr = enumerator_->RegisterEndpointNotificationCallback(watch_);
  watching_ = SUCCEEDED(hr);
  // Without notifications the capture still finds a lost device by its errors.
  if (!watching_) log_wasapi_failure("watch devices", hr);
  return true;
}

ErrorCode WasapiEndpoint::open_default_device() {
  HRESULT hr = enumerator_->GetDefaultAudioEndpoint(eRender, eConsole, &device_);
  if (FAILED(hr) || device_ == nullptr) {
    device_ = nullptr;
    log_wasapi_failure("default endpoint", hr);
    return ErrorCode::NoAudioDevice;
  }
  device_id_ = device_endpoint_id(device_);
  watch_->set_current(device_id_);
  return ErrorCode::Ok;
}

HRESULT WasapiEndpoint::activate_client() {
  release_com(client_);
  return device_->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                           reinterpret_cast<void**>(&client_));
}

HRESULT WasapiEndpoint::initialize_client(DWORD flags) {
  HRESULT hr =
      client_->Initialize(AUDCLNT_SHAREMODE_SHARED, flags, kBufferDuration, 0, format_, nullptr);
  if (SUCCEEDED(hr) && (flags & AUDCLNT_STREAMFLAGS_EVENTCALLBACK) != 0) {
    hr = client_->SetEventHandle(audio_event_);
  }
  return hr;
}

ErrorCode WasapiEndpoint::initialize() {
  if (client_ == nullptr || format_ == nullptr) return ErrorCode::CaptureFailed;
  const DWORD loopback = AUDCLNT_STREAMFLAGS_LOOPBACK;
  HRESULT hr = initialize_client(loopback | AUDCLNT_STREAMFLAGS_EVENTCALLBACK);
  if (FAILED(hr)) {
    // A system that refuses events on this stream: a fresh client, polled.
    log_wasapi_failure("initialize with events", hr);
    hr = activate_client();
    if (SUCCEEDED(hr)) hr = initialize_client(loopback);
  }
  if (FAILED(hr)) {
    log_wasapi_failure("initialize loopback", hr);
    return ErrorCode::CaptureFailed;
  }
  hr = client_->GetService(__uuidof(IAudioCaptureClient), reinterpret_cast<void**>(&capture_));
  if (FAILED(hr) || capture_ == nullptr) {
    capture_ = nullptr;
    log_wasapi_failure("get capture client", hr);
    return ErrorCode::CaptureFailed;
  }
  return ErrorCode::Ok;
}

void WasapiEndpoint::close_device() {
  release_com(capture_);
  release_com(client_);
  release_com(device_);
  if (format_ != nullptr) CoTaskMemFree(format_);
  format_ = nullptr;
  mix_ = MixFormat();
  device_id_.clear();
  watch_->set_current("");
}

void WasapiEndpoint::enter_thread() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
void WasapiEndpoint::leave_thread() { CoUninitialize(); }

void WasapiEndpoint::start() {
  if (client_ != nullptr) check_device(client_->Start());
}

void WasapiEndpoint::stop() {
  if (client_ == nullptr) return;
  client_->Stop();
  // What was captured before the pause is stale by the next start.
  client_->Reset();
}

bool WasapiEndpoint::wait(int timeout_ms) {
  const HANDLE events[] = {audio_event_, watch_->wake_event()};
  const DWORD timeout = timeout_ms < 0 ? INFINITE : static_cast<DWORD>(timeout_ms);
  return WaitForMultipleObjects(2, events, FALSE, timeout) == WAIT_OBJECT_0;
}

void WasapiEndpoint::check_device(HRESULT hr) {
  if (device_lost(hr)) watch_->raise_change();
}

// Another default than the one captured, or none: the capture moves. A
// stream on a device that went away may go on without an error and without
// packets, so this is also what finds it then.
void WasapiEndpoint::look_at_default() {
  const ULONGLONG now = GetTickCount64();
  if (now < next_default_look_ || enumerator_ == nullptr) return;
  next_default_look_ = now + kDefaultLookMs;
  if (default_endpoint_id(enumerator_, eRender) != device_id_) watch_->raise_change();
}

void WasapiEndpoint::next_packet_size(std::uint32_t* frames) {
  if (capture_ == nullptr) return;
  look_at_default();
  UINT32 count = 0;
  const HRESULT hr = capture_->GetNextPacketSize(&count);
  if (SUCCEEDED(hr)) {
    *frames = count;
  } else {
    check_device(hr);
  }
}

bool WasapiEndpoint::borrow(EndpointPacket* packet) {
  if (capture_ == nullptr) return false;
  BYTE* data = nullptr;
  UINT32 frames = 0;
  DWORD flags = 0;
  const HRESULT hr = capture_->GetBuffer(&data, &frames, &flags, nullptr, nullptr);
  if (FAILED(hr)) {
    check_device(hr);
    return false;
  }
  packet->data = reinterpret_cast<const float*>(data);
  packet->frames = frames;
  packet->silent = (flags & AUDCLNT_BUFFERFLAGS_SILENT) != 0;
  return true;
}

void WasapiEndpoint::release(std::uint32_t frames) {
  if (capture_ != nullptr) capture_->ReleaseBuffer(frames);
}
