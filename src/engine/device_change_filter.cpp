#include "engine/device_change_filter.h"

void DeviceChangeFilter::set_current(const std::string& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  current_ = id;
}

bool DeviceChangeFilter::on_default_changed(const std::string& new_default_id) {
  std::lock_guard<std::mutex> lock(mutex_);
  return new_default_id != current_;
}

bool DeviceChangeFilter::on_device_added(const std::string& /*id*/) {
  std::lock_guard<std::mutex> lock(mutex_);
  return current_.empty();
}

bool DeviceChangeFilter::on_device_removed(const std::string& id) {
  std::lock_guard<std::mutex> lock(mutex_);
  return id == current_ && !current_.empty();
}

bool DeviceChangeFilter::on_device_state(const std::string& id, bool active) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (current_.empty()) return active;
  return id == current_ && !active;
}
