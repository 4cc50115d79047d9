#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "audio_format.h"
#include "delay_controller.h"
#include "frame_queue.h"
#include "frame_stretcher.h"
#include "jitter_estimator.h"
#include "latency_target.h"

TEST(JitterEstimator, SpreadOfArrivalsAroundTheFrameGrid) {
  JitterEstimator jitter;
  EXPECT_EQ(jitter.jitter_ms(), 0);
  const std::uint32_t first = 0xFFFFFFF0u;  // across the wrap
  const std::int64_t base = 1000000000;
  auto at = [&](std::uint32_t k, double offset_ms) {
    jitter.on_arrival(first + k, base + static_cast<std::int64_t>(k) * kFrameNs +
                                     static_cast<std::int64_t>(offset_ms * 1e6));
  };
  for (std::uint32_t k = 0; k < 40; ++k) at(k, 0);
  EXPECT_NEAR(jitter.jitter_ms(), 0, 1e-9);
  // A fifth of the frames 7 ms late, one 3 ms early: a spread of 10 ms.
  for (std::uint32_t k = 40; k < 50; ++k) at(k, 7);
  at(50, -3);
  EXPECT_NEAR(jitter.jitter_ms(), 10, 1e-6);
  // One stall of 40 ms is an outlier, not the jitter.
  at(51, 40);
  EXPECT_NEAR(jitter.jitter_ms(), 10, 1e-6);
  // Reordered arrival: the late one is measured against its own sequence.
  for (std::uint32_t k = 52; k < 60; k += 2) {
    at(k + 1, 0);
    at(k, 20);  // came after k + 1
  }
  EXPECT_NEAR(jitter.jitter_ms(), 23, 1e-6);  // 20 ms late (4 of 60) against -3 ms
  // The window forgets: 100 regular arrivals later the spread is gone.
  for (std::uint32_t k = 60; k < 160; ++k) at(k, 0);
  EXPECT_NEAR(jitter.jitter_ms(), 0, 1e-6);
}

// The target (ms) at first and after each jitter (ms) in turn.
std::string targets(LatencyTarget target, std::initializer_list<double> jitters) {
  std::ostringstream out;
  out << target.target_ms();
  for (double jitter : jitters) out << " " << (target.update(jitter), target.target_ms());
  return out.str();
}

TEST(LatencyTarget, AdaptiveFixedAndMinimal) {
  // Adaptive: a frame to start with and as the floor, jitter plus margin at
  // once, 200 at most; it falls only after a calm while, slowly.
  EXPECT_EQ(targets(LatencyTarget::from_option(-1), {1, 40, 500, 0}), "20 20 45 200 200");
  LatencyTarget adaptive = LatencyTarget::from_option(-1);
  adaptive.update(200);
  for (int k = 0; k < 5000; ++k) adaptive.update(0);  // 100 s
  EXPECT_NEAR(adaptive.target_ms(), 20, 0.5);
  adaptive.update(30);
  adaptive.reset();
  EXPECT_EQ(adaptive.target_ms(), 20);
  EXPECT_EQ(targets(LatencyTarget::from_option(80), {150}), "80 80");
  // Minimal: below one frame, no floor; a frame may be taken a period before it plays.
  LatencyTarget minimal = LatencyTarget::from_option(0);
  EXPECT_EQ(targets(minimal, {1, 30}), "2 3 32");
  minimal.set_period_ms(10);
  EXPECT_EQ(targets(minimal, {30}), "2 42");
}

namespace {

// The controller's decisions for `times` frames at a target, run-length
// coded: "0x24" (no correction, 24 times), "3" (3 samples longer), "ins", "drop".
std::string decide(DelayController& controller, double target_ms, int times = 1) {
  std::string out, last;
  int run = 0;
  for (int k = 0; k <= times; ++k) {
    std::string token;
    if (k < times) {
      const DelayController::Action a = controller.decide(target_ms);
      token = a.insert_frame ? "ins" : a.drop_frame ? "drop" : std::to_string(a.stretch_samples);
    }
    if (token == last) {
      ++run;
      continue;
    }
    if (run > 0) out += last + (run > 1 ? "x" + std::to_string(run) : "") + " ";
    last = token;
    run = 1;
  }
  return out;
}

}  // namespace

TEST(DelayController, DeadbandStretchAndWholeFrames) {
  DelayController c;
  EXPECT_EQ(decide(c, 20), "0 ");  // nothing measured yet
  for (int k = 0; k < 18; ++k) c.on_decoded(k % 2 ? 19 : 21);
  c.on_decoded(60);  // a stalled decision: an outlier
  c.on_decoded(19);
  double slack = 0;
  ASSERT_TRUE(c.estimate(&slack));
  EXPECT_EQ(slack, 21);  // the frames that came earliest, not the outlier
  // 2.5 ms short is within the deadband; 3.2 ms short lengthens (about a
  // sample per ms) once it has lasted, and goes on below the deadband until
  // settled within 1 ms; too long shortens by at most 4 samples a frame.
  std::string run = decide(c, 20);  // one at a time: the order matters
  run += decide(c, 23.5);
  run += decide(c, 24.2, DelayController::kPersistFrames);
  run += decide(c, 23);
  run += decide(c, 21.5);
  run += decide(c, 11, DelayController::kPersistFrames);
  EXPECT_EQ(run, "0 0 0x24 3 2 0 0x24 -4 ");
  c.reset();
  c.on_decoded(80);
  EXPECT_EQ(decide(c, 20), "drop ");  // 60 ms too long: a whole frame
  ASSERT_TRUE(c.estimate(&slack));
  EXPECT_EQ(slack, 60);                     // the drop is accounted for at once
  EXPECT_EQ(decide(c, 20, 2), "drop -4 ");  // at 20 ms over, a drop would undershoot
  c.reset();
  c.on_decoded(0);
  EXPECT_EQ(decide(c, 13, 2), "ins -4 ");  // 13 ms short: more delay is safe; then 7 ms over
}

TEST(FrameStretcher, KeepsEndpointsAndLinearShapes) {
  std::vector<float> in(960 * 2);
  for (int k = 0; k < 960; ++k) {
    in[2 * k] = static_cast<float>(k);
    in[2 * k + 1] = -static_cast<float>(k);
  }
  for (int out_frames : {956, 959, 961, 964}) {
    std::vector<float> out(out_frames * 2);
    stretch_frame(in.data(), 960, out.data(), out_frames, 2);
    EXPECT_EQ(out[0], 0);
    EXPECT_FLOAT_EQ(out[2 * (out_frames - 1)], 959);
    EXPECT_FLOAT_EQ(out[2 * (out_frames - 1) + 1], -959);
    const double step = 959.0 / (out_frames - 1);
    for (int k = 0; k < out_frames; ++k) ASSERT_NEAR(out[2 * k], k * step, 1e-3);
  }
}

TEST(FrameQueue, KeepsOrderUpToItsCapacity) {
  static FrameQueue queue;  // large: not on the stack
  const std::uint8_t payload[3] = {1, 2, 3};
  std::uint8_t too_big[kMaxOpusPacket + 1] = {};
  EXPECT_FALSE(queue.push(0, too_big, sizeof too_big, 0));
  for (std::uint32_t k = 0; k < FrameQueue::kCapacity; ++k)
    EXPECT_TRUE(queue.push(k, payload, 3, k));
  EXPECT_FALSE(queue.push(99, payload, 3, 0));  // full
  for (std::uint32_t k = 0; k < FrameQueue::kCapacity; ++k, queue.release()) {
    ASSERT_NE(queue.front(), nullptr);
    EXPECT_EQ(queue.front()->sequence + queue.front()->arrival_ns + queue.front()->size, 2 * k + 3);
  }
  EXPECT_EQ(queue.front(), nullptr);
}
