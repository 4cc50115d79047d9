#pragma once

#include <mutex>
#include <string>

// Decides which of the platform's notifications about audio devices concern
// the capture: another default output, the loss of the device being
// captured, or any device at all while there is none to capture. Ids are the
// platform's (a WASAPI endpoint id, a PulseAudio sink name). Thread-safe: the
// platform calls in on its own threads.
class DeviceChangeFilter {
 public:
  // The device now captured; empty while there is none.
  void set_current(const std::string& id);
  // Each answers whether the capture has to open the default output anew.
  bool on_default_changed(const std::string& new_default_id);
  bool on_device_added(const std::string& id);
  bool on_device_removed(const std::string& id);
  bool on_device_state(const std::string& id, bool active);

 private:
  mutable std::mutex mutex_;
  std::string current_;
};
