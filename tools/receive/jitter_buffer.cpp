#include "jitter_buffer.h"

#include <cstring>

namespace {

int slot_of(std::uint32_t sequence) { return static_cast<int>(sequence % JitterBuffer::kSlots); }

}  // namespace

void JitterBuffer::store(const QueuedFrame& frame) {
  Slot& slot = slots_[slot_of(frame.sequence)];
  if (slot.state == SlotState::Waiting) --waiting_;
  slot.state = SlotState::Waiting;
  slot.frame.sequence = frame.sequence;
  slot.frame.arrival_ns = frame.arrival_ns;
  slot.frame.size = frame.size;
  std::memcpy(slot.frame.payload, frame.payload, frame.size);
  ++waiting_;
}

InsertResult JitterBuffer::insert(const QueuedFrame& frame) {
  if (!started_) return insert_before_start(frame);
  const std::int32_t ahead = sequence_distance(next_, frame.sequence);
  const Slot& slot = slots_[slot_of(frame.sequence)];
  const bool same = slot.frame.sequence == frame.sequence;
  if (ahead >= 0 && ahead < kSlots) {
    if (same && slot.state == SlotState::Waiting) return InsertResult::Duplicate;
    store(frame);
    return InsertResult::Accepted;
  }
  if (ahead < 0 && ahead > -kSlots) {
    return same && slot.state == SlotState::Played ? InsertResult::Duplicate : InsertResult::Late;
  }
  return InsertResult::OutOfWindow;
}

InsertResult JitterBuffer::insert_before_start(const QueuedFrame& frame) {
  if (!any_) {
    any_ = true;
    next_ = frame.sequence;
    store(frame);
    return InsertResult::Accepted;
  }
  const std::int32_t ahead = sequence_distance(next_, frame.sequence);
  const Slot& slot = slots_[slot_of(frame.sequence)];
  if (slot.state == SlotState::Waiting && slot.frame.sequence == frame.sequence) {
    return InsertResult::Duplicate;
  }
  if (ahead >= kSlots || ahead <= -kSlots) return InsertResult::OutOfWindow;
  // A reordered earlier frame moves the start back, if the window still
  // holds every frame waiting after it.
  if (ahead < 0) {
    for (std::int32_t k = kSlots + ahead; k < kSlots; ++k) {
      const Slot& dropped = slots_[slot_of(next_ + static_cast<std::uint32_t>(k))];
      if (dropped.state == SlotState::Waiting) return InsertResult::OutOfWindow;
    }
    next_ = frame.sequence;
  }
  store(frame);
  return InsertResult::Accepted;
}

bool JitterBuffer::start() {
  const QueuedFrame* first = earliest();
  if (first == nullptr) return false;
  next_ = first->sequence;
  started_ = true;
  return true;
}

const QueuedFrame* JitterBuffer::earliest() const {
  if (waiting_ == 0) return nullptr;
  for (int k = 0; k < kSlots; ++k) {
    const Slot& slot = slots_[slot_of(next_ + static_cast<std::uint32_t>(k))];
    if (slot.state == SlotState::Waiting &&
        slot.frame.sequence == next_ + static_cast<std::uint32_t>(k)) {
      return &slot.frame;
    }
  }
  return nullptr;
}

const QueuedFrame* JitterBuffer::take_next() {
  Slot& slot = slots_[slot_of(next_)];
  const QueuedFrame* taken = nullptr;
  if (slot.state == SlotState::Waiting && slot.frame.sequence == next_) {
    slot.state = SlotState::Played;
    --waiting_;
    taken = &slot.frame;
  } else {
    if (slot.state == SlotState::Waiting) --waiting_;  // a stale frame of another round
    slot.state = SlotState::Missed;
    slot.frame.sequence = next_;
  }
  ++next_;
  return taken;
}

void JitterBuffer::reset() {
  for (Slot& slot : slots_) slot.state = SlotState::Empty;
  started_ = false;
  any_ = false;
  waiting_ = 0;
}
