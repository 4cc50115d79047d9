#include "engine/platform/win/core_audio.h"

#include <cstring>

#include "app/logs.h"
#include "engine/platform/win/device_watch.h"

namespace {

// Spelled out here so that no GUID library has to be linked.
constexpr CLSID kMMDeviceEnumerator = {
    0xBCDE0395, 0xE52F, 0x467C, {0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E}};
constexpr GUID kSubtypeIeeeFloat = {
    0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

}  // namespace

IMMDeviceEnumerator* create_device_enumerator() {
  IMMDeviceEnumerator* enumerator = nullptr;
  const HRESULT hr =
      CoCreateInstance(kMMDeviceEnumerator, nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                       reinterpret_cast<void**>(&enumerator));
  if (FAILED(hr) || enumerator == nullptr) {
    log_wasapi_failure("create device enumerator", hr);
    return nullptr;
  }
  return enumerator;
}

std::string device_endpoint_id(IMMDevice* device) {
  LPWSTR id = nullptr;
  if (device == nullptr || FAILED(device->GetId(&id))) return std::string();
  std::string text = endpoint_id_text(id);
  CoTaskMemFree(id);
  return text;
}

std::string default_endpoint_id(IMMDeviceEnumerator* enumerator, EDataFlow flow) {
  IMMDevice* device = nullptr;
  if (FAILED(enumerator->GetDefaultAudioEndpoint(flow, eConsole, &device))) return std::string();
  std::string id = device_endpoint_id(device);
  release_com(device);
  return id;
}

bool mix_format_is_float(const WAVEFORMATEX& format) {
  if (format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) return true;
  if (format.wFormatTag != WAVE_FORMAT_EXTENSIBLE) return false;
  if (format.cbSize < sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX)) return false;
  const auto& extensible = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(format);
  return std::memcmp(&extensible.SubFormat, &kSubtypeIeeeFloat, sizeof(GUID)) == 0;
}

bool device_lost(HRESULT hr) {
  return hr == AUDCLNT_E_DEVICE_INVALIDATED || hr == AUDCLNT_E_SERVICE_NOT_RUNNING;
}

void log_wasapi_failure(const char* action, HRESULT hr) {
  debug_logf("wasapi: %s: hresult 0x%08lx", action, static_cast<unsigned long>(hr));
}
