#pragma once

#include <cstdint>

#include "frame_queue.h"

// What became of a frame offered to the buffer.
enum class InsertResult {
  Accepted,
  Duplicate,   // that sequence is already held or was played
  Late,        // its turn has passed (played or concealed without it)
  OutOfWindow  // too far from the current position to belong to this stream
};

// Frames waiting for their turn, ordered by sequence (across the 32-bit
// wrap), in fixed slots. Owned by the playout thread.
class JitterBuffer {
 public:
  static constexpr int kSlots = 64;  // 1.28 s of frames

  // Offers a frame; Accepted ones wait until their sequence is taken.
  InsertResult insert(const QueuedFrame& frame);
  // Takes the frame of the next sequence (nullptr when it is missing) and
  // moves on to the following sequence. The frame stays valid until the next
  // insert of the same slot.
  const QueuedFrame* take_next();
  // Whether playing has begun; before that, the earliest frame decides where.
  bool started() const { return started_; }
  // Begins playing at the earliest waiting frame; false when none waits.
  bool start();
  // The earliest waiting frame, or nullptr.
  const QueuedFrame* earliest() const;
  std::uint32_t next_sequence() const { return next_; }
  int waiting() const { return waiting_; }
  // Forgets everything, as for a new stream.
  void reset();

 private:
  enum class SlotState : std::uint8_t { Empty, Waiting, Played, Missed };
  struct Slot {
    SlotState state = SlotState::Empty;
    QueuedFrame frame;
  };

  InsertResult insert_before_start(const QueuedFrame& frame);
  void store(const QueuedFrame& frame);

  Slot slots_[kSlots];
  bool started_ = false;
  bool any_ = false;
  std::uint32_t next_ = 0;  // the sequence to play next (before start: the lowest seen)
  int waiting_ = 0;
};
