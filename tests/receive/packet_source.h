#pragma once

#include <cstdint>
#include <vector>

#include "frame_queue.h"
#include "reference_encoder.h"
#include "test_signal.h"

namespace test {

// Opus packets of a 1 kHz tone, encoded as the transmitter does, handed out
// as queued frames with chosen sequences and arrival times.
class PacketSource {
 public:
  explicit PacketSource(int distinct = 50);
  // Frame for sequence, arriving at arrival_ns (packets repeat cyclically).
  QueuedFrame frame(std::uint32_t sequence, std::int64_t arrival_ns) const;

 private:
  std::vector<std::vector<std::uint8_t>> packets_;
};

}  // namespace test
