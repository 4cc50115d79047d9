#include <gtest/gtest.h>

#include <thread>

#include "frame_queue.h"
#include "jitter_buffer.h"

namespace {

QueuedFrame make(std::uint32_t sequence) {
  QueuedFrame frame;
  frame.sequence = sequence;
  frame.size = 1;
  frame.payload[0] = static_cast<std::uint8_t>(sequence);
  return frame;
}

std::uint32_t take_sequence(JitterBuffer& buffer) {
  const QueuedFrame* frame = buffer.take_next();
  return frame == nullptr ? 0xDEADu : frame->sequence;
}

}  // namespace

TEST(SequenceMath, DistanceCrossesTheWrap) {
  EXPECT_EQ(sequence_distance(10, 12), 2);
  EXPECT_EQ(sequence_distance(12, 10), -2);
  EXPECT_EQ(sequence_distance(0xFFFFFFFEu, 1), 3);
  EXPECT_EQ(sequence_distance(1, 0xFFFFFFFEu), -3);
}

TEST(JitterBuffer, OrdersReorderedFramesAndStartsAtTheEarliest) {
  JitterBuffer buffer;
  EXPECT_EQ(buffer.insert(make(12)), InsertResult::Accepted);
  EXPECT_EQ(buffer.insert(make(10)), InsertResult::Accepted);  // moves the start back
  EXPECT_EQ(buffer.insert(make(11)), InsertResult::Accepted);
  EXPECT_EQ(buffer.earliest()->sequence, 10u);
  ASSERT_TRUE(buffer.start());
  EXPECT_EQ(take_sequence(buffer), 10u);
  EXPECT_EQ(take_sequence(buffer), 11u);
  EXPECT_EQ(take_sequence(buffer), 12u);
  EXPECT_EQ(buffer.waiting(), 0);
}

TEST(JitterBuffer, DuplicatesLateFramesAndGaps) {
  JitterBuffer buffer;
  buffer.insert(make(100));
  EXPECT_EQ(buffer.insert(make(100)), InsertResult::Duplicate);  // waiting twice
  buffer.start();
  EXPECT_EQ(buffer.insert(make(102)), InsertResult::Accepted);
  EXPECT_EQ(buffer.insert(make(102)), InsertResult::Duplicate);
  EXPECT_EQ(take_sequence(buffer), 100u);
  EXPECT_EQ(buffer.take_next(), nullptr);                        // 101 is missing
  EXPECT_EQ(buffer.insert(make(100)), InsertResult::Duplicate);  // played already
  EXPECT_EQ(buffer.insert(make(101)), InsertResult::Late);       // its turn has passed
  EXPECT_EQ(take_sequence(buffer), 102u);
  EXPECT_EQ(buffer.next_sequence(), 103u);
  EXPECT_EQ(buffer.insert(make(103 + JitterBuffer::kSlots)), InsertResult::OutOfWindow);
  EXPECT_EQ(buffer.insert(make(103 - JitterBuffer::kSlots)), InsertResult::OutOfWindow);
  EXPECT_EQ(buffer.insert(make(103 + JitterBuffer::kSlots - 1)), InsertResult::Accepted);
}

TEST(JitterBuffer, PlaysOnAcrossTheSequenceWrap) {
  JitterBuffer buffer;
  const std::uint32_t first = 0xFFFFFFFDu;
  for (std::uint32_t k = 0; k < 6; ++k) buffer.insert(make(first + k));
  ASSERT_TRUE(buffer.start());
  for (std::uint32_t k = 0; k < 6; ++k) EXPECT_EQ(take_sequence(buffer), first + k);
  EXPECT_EQ(buffer.insert(make(first + 1)), InsertResult::Duplicate);
  buffer.reset();
  EXPECT_FALSE(buffer.started());
  EXPECT_EQ(buffer.earliest(), nullptr);
  EXPECT_FALSE(buffer.start());
}

TEST(FrameQueue, CarriesFramesInOrderBetweenThreads) {
  static FrameQueue queue;  // large: not on the stack
  const std::uint8_t payload[3] = {1, 2, 3};
  std::uint8_t too_big[kMaxOpusPacket + 1] = {};
  EXPECT_FALSE(queue.push(0, too_big, sizeof too_big, 0));
  std::thread producer([&] {
    for (std::uint32_t k = 0; k < 5000; ++k) {
      while (!queue.push(k, payload, sizeof payload, k)) std::this_thread::yield();
    }
  });
  std::uint32_t expected = 0;
  while (expected < 5000) {
    const QueuedFrame* frame = queue.front();
    if (frame == nullptr) {
      std::this_thread::yield();
      continue;
    }
    ASSERT_EQ(frame->sequence, expected);
    ASSERT_EQ(frame->arrival_ns, expected);
    ASSERT_EQ(frame->size, 3);
    queue.release();
    ++expected;
  }
  producer.join();
  EXPECT_EQ(queue.front(), nullptr);
  for (std::uint32_t k = 0; k < FrameQueue::kCapacity; ++k) {
    EXPECT_TRUE(queue.push(k, payload, 3, 0));
  }
  EXPECT_FALSE(queue.push(99, payload, 3, 0));  // full
}
