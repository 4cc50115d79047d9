#include "storage/paired_devices.h"

#include <algorithm>
#include <utility>

#include "app/atomic_file.h"
#include "storage/flat_json.h"
#include "storage/storage_dir.h"

namespace {

const char kPairedDevicesFile[] = "paired_devices.json";

// Text up to the first NUL, as a C-string field of the file format would be.
std::string up_to_nul(const std::string& text) { return text.substr(0, text.find('\0')); }

std::string format_entry(const PairedDevice& device) {
  return "{" + json_string_field("id", up_to_nul(device.id)) + "," +
         json_string_field("name", up_to_nul(device.name)) +
         ",\"timestamp\":" + std::to_string(device.timestamp) + "}";
}

// The stored entries; an error while reading (out of memory) discards them.
std::vector<PairedDevice> load_entries(const std::string& path) {
  try {
    return parse_paired_devices(read_text_file(path));
  } catch (...) {
    return {};
  }
}

}  // namespace

std::vector<PairedDevice> parse_paired_devices(const std::string& text) {
  std::vector<PairedDevice> devices;
  std::size_t pos = 0;
  for (;;) {
    std::size_t open = text.find('{', pos);
    if (open == std::string::npos) break;
    std::size_t close = text.find('}', open + 1);
    if (close == std::string::npos) break;
    const std::string entry = text.substr(open, close - open + 1);
    PairedDevice device{json_get_string(entry, "id"), json_get_string(entry, "name"),
                        json_get_int64(entry, "timestamp")};
    if (!device.id.empty()) devices.push_back(std::move(device));
    pos = close + 1;
  }
  return devices;
}

void merge_paired_device(std::vector<PairedDevice>& devices, const PairedDevice& device) {
  auto same_id = [&](const PairedDevice& entry) { return entry.id == device.id; };
  auto found = std::find_if(devices.begin(), devices.end(), same_id);
  if (found == devices.end()) {
    devices.push_back(device);
    return;
  }
  found->name = device.name;
  found->timestamp = device.timestamp;
}

void trim_paired_devices(std::vector<PairedDevice>& devices, std::size_t limit) {
  if (devices.size() <= limit) return;
  // The entries to drop are the `drop` smallest by (timestamp, position):
  // one selection finds the cut, one pass keeps the rest in order. Linear,
  // where removing the oldest one at a time was quadratic.
  const std::size_t drop = devices.size() - limit;
  using Key = std::pair<std::int64_t, std::size_t>;
  std::vector<Key> keys(devices.size());
  for (std::size_t i = 0; i < devices.size(); ++i) keys[i] = {devices[i].timestamp, i};
  std::nth_element(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(drop - 1), keys.end());
  const Key cut = keys[drop - 1];
  std::size_t kept = 0;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    if (Key{devices[i].timestamp, i} <= cut) continue;
    if (kept != i) devices[kept] = std::move(devices[i]);
    ++kept;
  }
  devices.resize(kept);
}

std::string format_paired_devices(const std::vector<PairedDevice>& devices) {
  std::string text = "[";
  for (std::size_t i = 0; i < devices.size(); ++i) {
    if (i > 0) text += ",";
    text += format_entry(devices[i]);
  }
  return text + "]\n";
}

std::vector<PairedDevice> load_paired_devices() {
  const std::string path = storage_file(kPairedDevicesFile);
  return path.empty() ? std::vector<PairedDevice>() : load_entries(path);
}

void add_paired_device(const PairedDevice& device) {
  if (device.id.empty()) return;
  try {
    const std::string path = storage_file(kPairedDevicesFile);
    if (path.empty()) return;
    std::vector<PairedDevice> devices = load_entries(path);
    merge_paired_device(devices, device);
    trim_paired_devices(devices);
    write_text_file_atomically(path, format_paired_devices(devices));
  } catch (...) {
    // Runs on a session thread: nothing may escape, nothing is reported.
  }
}
