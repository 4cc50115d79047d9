#include "engine/platform/win/wasapi_endpoint.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "app/logs.h"

namespace {

// Spelled out here so that no GUID library has to be linked.
constexpr CLSID kMMDeviceEnumerator = {
    0xBCDE0395, 0xE52F, 0x467C, {0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E}};
constexpr GUID kSubtypeIeeeFloat = {
    0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
// 20 ms in 100-ns units.
constexpr REFERENCE_TIME kBufferDuration = 200000;

template <class T>
void release_com(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

}  // namespace

std::unique_ptr<AudioEndpoint> make_system_audio_endpoint() {
  return std::make_unique<WasapiEndpoint>();
}

WasapiEndpoint::~WasapiEndpoint() {
  release_com(capture_);
  release_com(client_);
  release_com(device_);
  if (format_ != nullptr) CoTaskMemFree(format_);
}

void WasapiEndpoint::log_failure(const char* action, HRESULT hr) {
  char line[kLogLineSize];
  std::snprintf(line, sizeof line, "wasapi: %s: hresult 0x%08lx", action,
                static_cast<unsigned long>(hr));
  debug_log(line);
}

ErrorCode WasapiEndpoint::open_device() {
  // Never undone on this thread: the objects live in the multithreaded apartment.
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  const ErrorCode opened = open_default_device();
  if (opened != ErrorCode::Ok) return opened;
  HRESULT hr = device_->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                                 reinterpret_cast<void**>(&client_));
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

ErrorCode WasapiEndpoint::open_default_device() {
  IMMDeviceEnumerator* enumerator = nullptr;
  HRESULT hr =
      CoCreateInstance(kMMDeviceEnumerator, nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                       reinterpret_cast<void**>(&enumerator));
  if (FAILED(hr) || enumerator == nullptr) {
    log_failure("create device enumerator", hr);
    return ErrorCode::NoAudioDevice;
  }
  hr = enumerator->GetDefaultAudioEndpoint(eRender, eConsole, &device_);
  enumerator->Release();
  if (FAILED(hr) || device_ == nullptr) {
    log_failure("default endpoint", hr);
    return ErrorCode::NoAudioDevice;
  }
  return ErrorCode::Ok;
}

bool WasapiEndpoint::holds_float(const WAVEFORMATEX& format) {
  if (format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) return true;
  if (format.wFormatTag != WAVE_FORMAT_EXTENSIBLE) return false;
  if (format.cbSize < sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX)) return false;
  const auto& extensible = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(format);
  return std::memcmp(&extensible.SubFormat, &kSubtypeIeeeFloat, sizeof(GUID)) == 0;
}

ErrorCode WasapiEndpoint::initialize() {
  if (client_ == nullptr || format_ == nullptr) return ErrorCode::CaptureFailed;
  HRESULT hr = client_->Initialize(AUDCLNT_SHAREMODE_SHARED, AUDCLNT_STREAMFLAGS_LOOPBACK,
                                   kBufferDuration, 0, format_, nullptr);
  if (FAILED(hr)) {
    log_failure("initialize loopback", hr);
    return ErrorCode::CaptureFailed;
  }
  hr = client_->GetService(__uuidof(IAudioCaptureClient), reinterpret_cast<void**>(&capture_));
  if (FAILED(hr) || capture_ == nullptr) {
    log_failure("get capture client", hr);
    return ErrorCode::CaptureFailed;
  }
  return ErrorCode::Ok;
}

void WasapiEndpoint::enter_thread() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
void WasapiEndpoint::leave_thread() { CoUninitialize(); }
void WasapiEndpoint::start() { client_->Start(); }
void WasapiEndpoint::stop() { client_->Stop(); }

void WasapiEndpoint::next_packet_size(std::uint32_t* frames) {
  UINT32 count = 0;
  if (SUCCEEDED(capture_->GetNextPacketSize(&count))) *frames = count;
}

bool WasapiEndpoint::borrow(EndpointPacket* packet) {
  BYTE* data = nullptr;
  UINT32 frames = 0;
  DWORD flags = 0;
  if (FAILED(capture_->GetBuffer(&data, &frames, &flags, nullptr, nullptr))) return false;
  packet->data = reinterpret_cast<const float*>(data);
  packet->frames = frames;
  packet->silent = (flags & AUDCLNT_BUFFERFLAGS_SILENT) != 0;
  return true;
}

void WasapiEndpoint::release(std::uint32_t frames) { capture_->ReleaseBuffer(frames); }
