#pragma once

#include <mmdeviceapi.h>
#include <windows.h>

#include <atomic>
#include <string>

#include "engine/device_change_filter.h"

// Hears Windows' notifications about audio endpoints (IMMNotificationClient,
// on a thread of the system's) and passes on those that concern the capture:
// a new default device of the captured flow in the console role, the loss of
// the captured device, any device while there is none. Such a change raises a
// flag and sets the wake event, on which the capture thread also waits.
// Reference-counted like any COM object: it outlives a late notification.
class DeviceWatch final : public IMMNotificationClient {
 public:
  explicit DeviceWatch(EDataFlow flow);

  // The captured device's endpoint id; empty while there is none.
  void set_current(const std::string& id) { filter_.set_current(id); }
  // True once after a change that concerns the capture.
  bool take_change() { return changed_.exchange(false); }
  // Raises the change flag itself (the device was found invalid).
  void raise_change();
  // Auto-reset event: set by a change and by wake().
  HANDLE wake_event() const { return wake_; }
  void wake() { SetEvent(wake_); }

  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  HRESULT STDMETHODCALLTYPE OnDefaultDeviceChanged(EDataFlow flow, ERole role, LPCWSTR id) override;
  HRESULT STDMETHODCALLTYPE OnDeviceAdded(LPCWSTR id) override;
  HRESULT STDMETHODCALLTYPE OnDeviceRemoved(LPCWSTR id) override;
  HRESULT STDMETHODCALLTYPE OnDeviceStateChanged(LPCWSTR id, DWORD state) override;
  HRESULT STDMETHODCALLTYPE OnPropertyValueChanged(LPCWSTR id, const PROPERTYKEY key) override;

 private:
  ~DeviceWatch();
  void pass_on(bool concerns_capture);

  std::atomic<ULONG> references_{1};
  EDataFlow flow_;
  DeviceChangeFilter filter_;
  std::atomic<bool> changed_{false};
  HANDLE wake_;
};

// UTF-8 of a UTF-16 endpoint id; empty for null.
std::string endpoint_id_text(LPCWSTR id);
