#include <gtest/gtest.h>

#include <thread>

#include "frame_queue.h"
#include "jitter_buffer.h"

// The jitter buffer itself is judged through the playout engine's simulations.

TEST(SequenceMath, DistanceCrossesTheWrap) {
  EXPECT_EQ(sequence_distance(10, 12), 2);
  EXPECT_EQ(sequence_distance(12, 10), -2);
  EXPECT_EQ(sequence_distance(0xFFFFFFFEu, 1), 3);
  EXPECT_EQ(sequence_distance(1, 0xFFFFFFFEu), -3);
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
