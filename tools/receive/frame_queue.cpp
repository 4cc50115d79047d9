#include "frame_queue.h"

#include <cstring>

bool FrameQueue::push(std::uint32_t sequence, const std::uint8_t* payload, std::size_t size,
                      std::int64_t arrival_ns) {
  if (size > kMaxOpusPacket) return false;
  const std::size_t head = head_.load(std::memory_order_relaxed);
  if (head - tail_.load(std::memory_order_acquire) >= kCapacity) return false;
  QueuedFrame& slot = slots_[head % kCapacity];
  slot.sequence = sequence;
  slot.arrival_ns = arrival_ns;
  slot.size = static_cast<std::uint16_t>(size);
  if (size > 0) std::memcpy(slot.payload, payload, size);
  head_.store(head + 1, std::memory_order_release);
  return true;
}

const QueuedFrame* FrameQueue::front() const {
  const std::size_t tail = tail_.load(std::memory_order_relaxed);
  if (tail == head_.load(std::memory_order_acquire)) return nullptr;
  return &slots_[tail % kCapacity];
}

void FrameQueue::release() {
  tail_.store(tail_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}
