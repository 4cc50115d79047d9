#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "audio_format.h"

// One received frame: its sequence, arrival time and Opus packet.
struct QueuedFrame {
  std::uint32_t sequence = 0;
  std::int64_t arrival_ns = 0;
  std::uint16_t size = 0;
  std::uint8_t payload[kMaxOpusPacket];
};

// Hands frames from the session's listen thread to the playout thread: one
// producer, one consumer, fixed slots, no lock and no allocation.
class FrameQueue {
 public:
  static constexpr std::size_t kCapacity = 64;

  // Producer: copies the frame in; false when full or the packet is too big.
  bool push(std::uint32_t sequence, const std::uint8_t* payload, std::size_t size,
            std::int64_t arrival_ns);
  // Consumer: the oldest frame, or nullptr when empty; valid until release().
  const QueuedFrame* front() const;
  void release();

 private:
  QueuedFrame slots_[kCapacity];
  std::atomic<std::size_t> head_{0};  // next to write
  std::atomic<std::size_t> tail_{0};  // next to read
};
