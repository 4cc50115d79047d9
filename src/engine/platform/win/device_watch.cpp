#include "engine/platform/win/device_watch.h"

DeviceWatch::DeviceWatch(EDataFlow flow)
    : flow_(flow), wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

DeviceWatch::~DeviceWatch() {
  if (wake_ != nullptr) CloseHandle(wake_);
}

void DeviceWatch::raise_change() { pass_on(true); }

void DeviceWatch::pass_on(bool concerns_capture) {
  if (!concerns_capture) return;
  changed_ = true;
  SetEvent(wake_);
}

ULONG STDMETHODCALLTYPE DeviceWatch::AddRef() { return ++references_; }

ULONG STDMETHODCALLTYPE DeviceWatch::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

HRESULT STDMETHODCALLTYPE DeviceWatch::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(IMMNotificationClient))) {
    *object = static_cast<IMMNotificationClient*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE DeviceWatch::OnDefaultDeviceChanged(EDataFlow flow, ERole role,
                                                              LPCWSTR id) {
  // Reported once per role; the capture follows the console default.
  if (flow == flow_ && role == eConsole) pass_on(filter_.on_default_changed(endpoint_id_text(id)));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DeviceWatch::OnDeviceAdded(LPCWSTR id) {
  pass_on(filter_.on_device_added(endpoint_id_text(id)));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DeviceWatch::OnDeviceRemoved(LPCWSTR id) {
  pass_on(filter_.on_device_removed(endpoint_id_text(id)));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DeviceWatch::OnDeviceStateChanged(LPCWSTR id, DWORD state) {
  pass_on(filter_.on_device_state(endpoint_id_text(id), state == DEVICE_STATE_ACTIVE));
  return S_OK;
}

HRESULT STDMETHODCALLTYPE DeviceWatch::OnPropertyValueChanged(LPCWSTR /*id*/,
                                                              const PROPERTYKEY /*key*/) {
  return S_OK;
}

std::string endpoint_id_text(LPCWSTR id) {
  if (id == nullptr) return std::string();
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, id, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 1) return std::string();
  std::string text(static_cast<std::size_t>(bytes - 1), '\0');
  WideCharToMultiByte(CP_UTF8, 0, id, -1, &text[0], bytes, nullptr, nullptr);
  return text;
}
