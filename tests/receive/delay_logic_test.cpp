#include <gtest/gtest.h>

#include <vector>

#include "audio_format.h"
#include "delay_controller.h"
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

TEST(LatencyTarget, AdaptiveRisesAtOnceFallsSlowlyWithinBounds) {
  LatencyTarget target = LatencyTarget::from_option(-1);
  EXPECT_EQ(target.mode(), LatencyTarget::Mode::Adaptive);
  EXPECT_EQ(target.target_ms(), 20);  // one frame to start with
  target.update(1);
  EXPECT_EQ(target.target_ms(), 20);  // the floor
  target.update(40);
  EXPECT_EQ(target.target_ms(), 45);  // jitter plus margin, at once
  target.update(500);
  EXPECT_EQ(target.target_ms(), 200);  // the ceiling
  target.update(0);
  EXPECT_GT(target.target_ms(), 199);               // one step down only
  for (int k = 0; k < 5000; ++k) target.update(0);  // 100 s
  EXPECT_NEAR(target.target_ms(), 20, 0.5);
  target.update(30);
  target.reset();
  EXPECT_EQ(target.target_ms(), 20);
}

TEST(LatencyTarget, FixedAndMinimal) {
  LatencyTarget fixed = LatencyTarget::from_option(80);
  fixed.update(150);
  EXPECT_EQ(fixed.target_ms(), 80);
  LatencyTarget minimal = LatencyTarget::from_option(0);
  EXPECT_LT(minimal.target_ms(), 5);
  minimal.update(1);
  EXPECT_EQ(minimal.target_ms(), 3);  // below one frame: no floor
  minimal.update(30);
  EXPECT_EQ(minimal.target_ms(), 32);
  minimal.set_period_ms(10);  // a frame may be taken a period before it plays
  minimal.update(30);
  EXPECT_EQ(minimal.target_ms(), 42);
}

TEST(DelayController, DeadbandStretchAndWholeFrames) {
  DelayController controller;
  EXPECT_FALSE(controller.decide(20).stretch_samples);  // nothing measured yet
  for (int k = 0; k < 18; ++k) controller.on_decoded(k % 2 ? 19 : 21);
  controller.on_decoded(60);  // a stalled decision: an outlier
  controller.on_decoded(19);
  double slack = 0;
  ASSERT_TRUE(controller.estimate(&slack));
  EXPECT_EQ(slack, 21);  // the frames that came earliest, not the outlier
  DelayController::Action a = controller.decide(20);
  EXPECT_EQ(a.stretch_samples, 0);  // within the deadband
  a = controller.decide(23.5);      // 2.5 ms short: within the deadband
  EXPECT_EQ(a.stretch_samples, 0);
  // 3.2 ms short: only once it has lasted does it lengthen, about a sample per ms.
  for (int k = 1; k < DelayController::kPersistFrames; ++k) {
    EXPECT_EQ(controller.decide(24.2).stretch_samples, 0) << k;
  }
  a = controller.decide(24.2);
  EXPECT_EQ(a.stretch_samples, 3);
  a = controller.decide(23);  // 1.9 ms short: correcting goes on below the deadband
  EXPECT_EQ(a.stretch_samples, 2);
  a = controller.decide(21.5);  // settled within 1 ms
  EXPECT_EQ(a.stretch_samples, 0);
  for (int k = 1; k < DelayController::kPersistFrames; ++k) controller.decide(11);
  a = controller.decide(11);  // 10 ms too long for long enough: at most 4 samples a frame
  EXPECT_EQ(a.stretch_samples, -4);
  controller.reset();
  controller.on_decoded(80);
  a = controller.decide(20);  // 60 ms too long: drop a frame
  EXPECT_TRUE(a.drop_frame);
  ASSERT_TRUE(controller.estimate(&slack));
  EXPECT_EQ(slack, 60);  // the drop is accounted for at once
  a = controller.decide(20);
  EXPECT_TRUE(a.drop_frame);  // 40 ms left
  a = controller.decide(20);  // 20 ms over: a drop would undershoot
  EXPECT_EQ(a.stretch_samples, -4);
  controller.reset();
  controller.on_decoded(0);
  a = controller.decide(13);  // 13 ms short: a whole frame, more delay is safe
  EXPECT_TRUE(a.insert_frame);
  a = controller.decide(13);  // now 7 ms over
  EXPECT_EQ(a.stretch_samples, -4);
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
