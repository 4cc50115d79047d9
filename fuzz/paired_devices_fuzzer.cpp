// The paired-devices parse on arbitrary text, then merge, trim and format with
// their invariants: the file we write reads back as the list we wrote.
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "storage/paired_devices.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

bool same(const PairedDevice& a, const PairedDevice& b) {
  return a.id == b.id && a.name == b.name && a.timestamp == b.timestamp;
}

bool same(const std::vector<PairedDevice>& a, const std::vector<PairedDevice>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (!same(a[i], b[i])) return false;
  }
  return true;
}

bool has_nul(const std::vector<PairedDevice>& devices) {
  for (const PairedDevice& d : devices) {
    if (d.id.find('\0') != std::string::npos || d.name.find('\0') != std::string::npos) return true;
  }
  return false;
}

void check_parsed(const std::vector<PairedDevice>& devices) {
  for (const PairedDevice& d : devices) {
    check(!d.id.empty());
    for (const std::string* field : {&d.id, &d.name}) {
      check(field->find('"') == std::string::npos && field->find('}') == std::string::npos);
    }
  }
}

void check_round_trip(const std::vector<PairedDevice>& devices) {
  std::string text = format_paired_devices(devices);
  std::vector<PairedDevice> again = parse_paired_devices(text);
  // Fields are written as C strings, so a NUL cuts them; from then on it is stable.
  if (!has_nul(devices)) check(same(again, devices));
  check(format_paired_devices(parse_paired_devices(format_paired_devices(again))) ==
        format_paired_devices(again));
}

// Merge then trim: the kept entries are a subsequence of the merged list and
// none of the dropped ones is newer than any kept one.
void check_merge_and_trim(std::vector<PairedDevice> devices, const PairedDevice& device) {
  std::size_t before = devices.size();
  bool known = false;
  for (const PairedDevice& d : devices) known = known || d.id == device.id;
  merge_paired_device(devices, device);
  check(devices.size() == before + (known ? 0 : 1));
  const std::vector<PairedDevice> merged = devices;
  trim_paired_devices(devices);
  check(devices.size() == std::min(merged.size(), kMaxPairedDevices));
  std::int64_t newest_dropped = std::numeric_limits<std::int64_t>::min();
  std::size_t kept = 0;
  for (const PairedDevice& d : merged) {
    if (kept < devices.size() && same(d, devices[kept])) {
      ++kept;
    } else if (d.timestamp > newest_dropped) {
      newest_dropped = d.timestamp;
    }
  }
  check(kept == devices.size());
  for (const PairedDevice& d : devices) check(d.timestamp >= newest_dropped);
  check_round_trip(devices);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<PairedDevice> devices = parse_paired_devices(text);
  check_parsed(devices);
  check_round_trip(devices);
  PairedDevice fresh{"fuzz receiver", "fuzz receiver", static_cast<std::int64_t>(size)};
  check_merge_and_trim(devices, fresh);
  if (!devices.empty()) {
    PairedDevice again = devices.back();
    again.timestamp = std::numeric_limits<std::int64_t>::min();
    check_merge_and_trim(devices, again);
  }
  return 0;
}
