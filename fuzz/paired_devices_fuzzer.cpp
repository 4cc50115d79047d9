// The paired-devices parse on arbitrary text, then merge, trim and format with
// their invariants: the file we write reads back as the list we wrote.
#include <algorithm>
#include <vector>

#include "storage/paired_devices.h"
#include "support/fuzz_support.h"

namespace {

// One line per entry, for comparing lists.
std::string describe(const std::vector<PairedDevice>& devices) {
  std::string text;
  for (const PairedDevice& d : devices) {
    text += d.id + '\x01' + d.name + '\x01' + std::to_string(d.timestamp) + '\n';
  }
  return text;
}

void check_round_trip(const std::vector<PairedDevice>& devices) {
  const std::vector<PairedDevice> again = parse_paired_devices(format_paired_devices(devices));
  // Fields are written as C strings, so a NUL cuts them; from then on it is stable.
  check(describe(again) == describe(devices) || describe(devices).find('\0') != std::string::npos);
  check(format_paired_devices(parse_paired_devices(format_paired_devices(again))) ==
        format_paired_devices(again));
}

// Merge then trim: the list grows by one unless the id was known, and trim
// keeps the newest in their order.
void check_merge_and_trim(std::vector<PairedDevice> devices, const PairedDevice& device) {
  const std::size_t before = devices.size();
  const bool known = std::any_of(devices.begin(), devices.end(),
                                 [&](const PairedDevice& d) { return d.id == device.id; });
  merge_paired_device(devices, device);
  check(devices.size() == before + (known ? 0 : 1));
  std::vector<PairedDevice> kept = devices, expected = devices;
  trim_paired_devices(kept);
  while (expected.size() > kMaxPairedDevices) {
    expected.erase(std::min_element(
        expected.begin(), expected.end(),
        [](const PairedDevice& a, const PairedDevice& b) { return a.timestamp < b.timestamp; }));
  }
  check(describe(kept) == describe(expected));
  check_round_trip(kept);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<PairedDevice> devices = parse_paired_devices(as_text(data, size));
  // Entries without an id are never read; a field with " or } would not read back.
  for (const PairedDevice& d : devices) check(!d.id.empty());
  check_round_trip(devices);
  check_merge_and_trim(devices,
                       {"fuzz receiver", "fuzz receiver", static_cast<std::int64_t>(size)});
  if (!devices.empty()) check_merge_and_trim(devices, {devices.back().id, "", INT64_MIN});
  return 0;
}
