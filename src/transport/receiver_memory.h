#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Whether a receiver may be remembered under this id: 1 to 64 printable
// ASCII bytes without " \ { } (which the paired-devices file cannot hold),
// and neither its own name (files written before receivers had ids hold the
// name twice, and a name is no secret) nor "rx-tovik-receive", the id every
// older tovik-receive sent.
bool can_remember_receiver(const std::string& id, const std::string& name);

// A receiver's name as shown and stored: without control characters and
// " \ { }, at most 64 bytes, cut between UTF-8 characters.
std::string safe_receiver_name(const std::string& name);

// The receivers that proved the pairing code, which may come back without
// it. Bounded: the one seen least recently is forgotten first. Listen thread
// only.
class ReceiverMemory {
 public:
  static constexpr std::size_t kCapacity = 10;  // as many as paired_devices.json keeps
  static constexpr std::int64_t kReportEveryMs = 60000;

  // Starts with `ids` (oldest first); those that cannot be remembered are left out.
  explicit ReceiverMemory(const std::vector<std::string>& ids = {});
  bool contains(const std::string& id) const;
  // Remembers id as just seen. True when the connection is to be recorded:
  // the id is new to this run, or was last recorded over a minute ago (a
  // flood of HELLOs must not become a flood of file writes).
  bool remember(const std::string& id, std::int64_t now_ms);

 private:
  struct Entry {
    std::string id;
    bool recorded = false;
    std::int64_t recorded_ms = 0;
  };
  std::vector<Entry> entries_;  // most recently seen last
};
