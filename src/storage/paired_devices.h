#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One receiver that reached the Connected state.
struct PairedDevice {
  std::string id;  // the key: the receiver's own id; entries with an empty id are never stored
  std::string name;
  std::int64_t timestamp = 0;  // seconds since 1970-01-01 00:00 UTC
};

constexpr std::size_t kMaxPairedDevices = 10;

// The entries of a paired_devices.json text, in file order: each "{" up to the
// first "}" after it is one entry; entries with an empty id are skipped and
// everything outside the braces is ignored.
std::vector<PairedDevice> parse_paired_devices(const std::string& text);

// Updates name and timestamp of the first entry with the same id (in place),
// or appends the device.
void merge_paired_device(std::vector<PairedDevice>& devices, const PairedDevice& device);

// Removes the oldest entries (smallest timestamp, earliest in the list among
// equals) until at most `limit` remain; the others keep their order.
void trim_paired_devices(std::vector<PairedDevice>& devices, std::size_t limit = kMaxPairedDevices);

// The one-line file text: [{"id":"..","name":"..","timestamp":N},...] and "\n".
std::string format_paired_devices(const std::vector<PairedDevice>& devices);

// The entries of paired_devices.json in file order (none when it is missing).
std::vector<PairedDevice> load_paired_devices();

// Records a connection in paired_devices.json: load, merge, trim to ten,
// rewrite atomically. A device with an empty id is ignored. Reports nothing.
void add_paired_device(const PairedDevice& device);
