#pragma once

#include <audioclient.h>
#include <mmdeviceapi.h>
#include <windows.h>

#include <string>

// What the loopback capture and the receiver's playback share about Core
// Audio: the device enumerator, device ids, the mix format and failure lines.

// A new device enumerator; null (and a debug.log line) when COM refuses.
IMMDeviceEnumerator* create_device_enumerator();
// The UTF-8 endpoint id of a device; empty without one.
std::string device_endpoint_id(IMMDevice* device);
// The id of the default device of a flow in the console role; empty when
// there is none.
std::string default_endpoint_id(IMMDeviceEnumerator* enumerator, EDataFlow flow);
// Whether a shared-mode mix format holds 32-bit float samples.
bool mix_format_is_float(const WAVEFORMATEX& format);
// Whether a call failed because the device was unplugged, disabled or reset
// (the audio service restarts after a resume from sleep): every later call
// fails too, so the default device is to be opened anew.
bool device_lost(HRESULT hr);
// One debug.log line: "wasapi: <action>: hresult 0x...".
void log_wasapi_failure(const char* action, HRESULT hr);

template <class T>
void release_com(T*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}
