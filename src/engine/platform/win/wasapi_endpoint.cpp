#include "engine/platform/win/wasapi_endpoint.h"

#include <cstring>
#include <memory>

#include "app/logs.h"

namespace {

// Spelled out here so that no GUID library has to be linked.
constexpr CLSID kMMDeviceEnumerator = {
    0xBCDE0395, 0xE52F, 0x467C, {0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E}};
constexpr GUID kSubtypeIeeeFloat = {
    0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
// How often the capture compares the default device with its own, for
// systems that do not report a change (wine) or a lost device.
constexpr ULONGLONG kDefaultLookMs = 500;
// 100 ms in 100-ns units: ten device periods, so a capture thread woken late
// (a busy machine, a 15.6 ms timer tick) still finds everything.
constexpr REFERENCE_TIME kBufferDuration = 1000000;

template <class T>
void release_com(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

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

void WasapiEndpoint::log_failure(const char* action, HRESULT hr) {
  debug_logf("wasapi: %s: hresult 0x%08lx", action, static_cast<unsigned long>(hr));
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
    log_failure("activate audio client", hr);
    return ErrorCode::CaptureFailed;
  }
  hr = client_->GetMixFormat(&format_);
  if (FAILED(hr) || format_ == nullptr) {
    log_failure("get mix format", hr);
    return ErrorCode::CaptureFailed;
  }
  mix_ = {holds_float(*format_), static_cast<int>(format_->nSamplesPerSec),
          static_cast<int>(format_->nChannels)};
  return ErrorCode::Ok;
}

// The enumerator stays for the endpoint's life: it delivers the notifications.
bool WasapiEndpoint::watch_devices() {
  if (enumerator_ != nullptr) return true;
  HRESULT hr =
      CoCreateInstance(kMMDeviceEnumerator, nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                       reinterpret_cast<void**>(&enumerator_));
  if (FAILED(hr) || enumerator_ == nullptr) {
    enumerator_ = nullptr;
    log_failure("create device enumerator", hr);
    return false;
  }
  hr = enumerator_->RegisterEndpointNotificationCallback(watch_);
  watching_ = SUCCEEDED(hr);
  // Without notifications the capture still finds a lost device by its errors.
  if (!watching_) log_failure("watch devices", hr);
  return true;
}

ErrorCode WasapiEndpoint::open_default_device() {
  HRESULT hr = enumerator_->GetDefaultAudioEndpoint(eRender, eConsole, &device_);
  if (FAILED(hr) || device_ == nullptr) {
    device_ = nullptr;
    log_failure("default endpoint", hr);
    return ErrorCode::NoAudioDevice;
  }
  LPWSTR id = nullptr;
  if (SUCCEEDED(device_->GetId(&id))) {
    device_id_ = endpoint_id_text(id);
    CoTaskMemFree(id);
  }
  watch_->set_current(device_id_);
  return ErrorCode::Ok;
}

HRESULT WasapiEndpoint::activate_client() {
  release_com(client_);
  return device_->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                           reinterpret_cast<void**>(&client_));
}

bool WasapiEndpoint::holds_float(const WAVEFORMATEX& format) {
  if (format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) return true;
  if (format.wFormatTag != WAVE_FORMAT_EXTENSIBLE) return false;
  if (format.cbSize < sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX)) return false;
  const auto& extensible = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(format);
  return std::memcmp(&extensible.SubFormat, &kSubtypeIeeeFloat, sizeof(GUID)) == 0;
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
    log_failure("initialize with events", hr);
    hr = activate_client();
    if (SUCCEEDED(hr)) hr = initialize_client(loopback);
  }
  if (FAILED(hr)) {
    log_failure("initialize loopback", hr);
    return ErrorCode::CaptureFailed;
  }
  hr = client_->GetService(__uuidof(IAudioCaptureClient), reinterpret_cast<void**>(&capture_));
  if (FAILED(hr) || capture_ == nullptr) {
    capture_ = nullptr;
    log_failure("get capture client", hr);
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

// A device that was unplugged, disabled or reset (the audio service restarts
// after a resume from sleep) fails every call: open the default anew.
void WasapiEndpoint::check_device(HRESULT hr) {
  if (hr == AUDCLNT_E_DEVICE_INVALIDATED || hr == AUDCLNT_E_SERVICE_NOT_RUNNING) {
    watch_->raise_change();
  }
}

// Another default than the one captured, or none: the capture moves. A
// stream on a device that went away may go on without an error and without
// packets, so this is also what finds it then.
void WasapiEndpoint::look_at_default() {
  const ULONGLONG now = GetTickCount64();
  if (now < next_default_look_ || enumerator_ == nullptr) return;
  next_default_look_ = now + kDefaultLookMs;
  IMMDevice* current = nullptr;
  std::string id;
  if (SUCCEEDED(enumerator_->GetDefaultAudioEndpoint(eRender, eConsole, &current)) &&
      current != nullptr) {
    LPWSTR text = nullptr;
    if (SUCCEEDED(current->GetId(&text))) {
      id = endpoint_id_text(text);
      CoTaskMemFree(text);
    }
    current->Release();
  }
  if (id != device_id_) watch_->raise_change();
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
