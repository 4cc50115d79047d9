#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "packet_source.h"
#include "playout_engine.h"

namespace {

constexpr int kChunk = 240;  // the sink's 5 ms period
constexpr std::int64_t kChunkNs = 5000000;
constexpr std::int64_t kStartNs = 1000000000;

// Drives an engine on simulated time: frames arrive when the schedule says,
// the output takes a 5 ms chunk every 5 ms of its own clock.
class Simulation {
 public:
  explicit Simulation(int latency_option) : engine_(new PlayoutEngine(latency_option)) {
    EXPECT_EQ(engine_->init(), ErrorCode::Ok);
  }
  // Sends frame `sequence` to arrive at `arrival_ns` (kept in arrival order).
  void arrive(std::uint32_t sequence, std::int64_t arrival_ns) {
    pending_.push_back(source_.frame(sequence, arrival_ns));
  }
  // Runs the output until now_ns; every chunk goes to on_chunk.
  void run_until(std::int64_t until_ns) {
    while (now_ns_ < until_ns) {
      while (next_ < pending_.size() && pending_[next_].arrival_ns <= now_ns_) {
        engine_->receive(pending_[next_++]);
      }
      engine_->render(chunk_, kChunk, now_ns_);
      output_.insert(output_.end(), chunk_, chunk_ + kChunk * 2);
      now_ns_ += chunk_ns_;
    }
  }
  void set_chunk_ns(std::int64_t ns) { chunk_ns_ = ns; }
  PlayoutEngine& engine() { return *engine_; }
  const std::vector<float>& output() const { return output_; }
  std::int64_t now() const { return now_ns_; }

 private:
  test::PacketSource source_;
  std::unique_ptr<PlayoutEngine> engine_;
  std::vector<QueuedFrame> pending_;
  std::size_t next_ = 0;
  std::int64_t now_ns_ = kStartNs;
  std::int64_t chunk_ns_ = kChunkNs;
  float chunk_[kChunk * 2];
  std::vector<float> output_;
};

std::int64_t at_frame(int k) { return kStartNs + static_cast<std::int64_t>(k) * kFrameNs; }

// The longest run of exact zeros in the left channel, from the first sound on.
std::size_t longest_zero_run(const std::vector<float>& stereo) {
  std::size_t longest = 0, run = 0;
  bool begun = false;
  for (std::size_t k = 0; k < stereo.size(); k += 2) {
    begun = begun || stereo[k] != 0;
    if (!begun) continue;
    run = stereo[k] == 0 ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
}

}  // namespace

TEST(PlayoutEngine, StartsAfterTheTargetAndPlaysInOrder) {
  Simulation sim(-1);
  // Arrivals swapped in pairs within one frame time: order restored, none late.
  for (int k = 0; k < 100; k += 2) {
    sim.arrive(static_cast<std::uint32_t>(k + 1), at_frame(k) + 1000000);
    sim.arrive(static_cast<std::uint32_t>(k), at_frame(k) + 2000000);
  }
  sim.run_until(at_frame(10));
  ReceiveStats s = sim.engine().stats();
  EXPECT_TRUE(s.playing);
  // Every other frame comes 19 ms early: the jitter seen is about 21 ms, and
  // the 5 ms output period adds to it.
  EXPECT_GE(s.target_ms, 20);
  EXPECT_LE(s.target_ms, 32);
  sim.run_until(at_frame(100) + 60000000);
  s = sim.engine().stats();
  EXPECT_EQ(s.frames, 100u);
  EXPECT_EQ(s.late, 0u);
  EXPECT_EQ(s.duplicate, 0u);
  EXPECT_EQ(s.inserted + s.skipped, 0u);
  // Nothing was heard before the first frame had waited its 20 ms.
  const std::size_t first_sound = [&] {
    for (std::size_t k = 0; k < sim.output().size(); k += 2) {
      if (sim.output()[k] != 0) return k / 2;
    }
    return sim.output().size();
  }();
  EXPECT_GE(first_sound, static_cast<std::size_t>(22 * 48));
  EXPECT_LE(first_sound, static_cast<std::size_t>(35 * 48));
}

TEST(PlayoutEngine, LossIsConcealedForFiveFramesThenSilence) {
  Simulation sim(40);
  for (int k = 0; k < 100; ++k) {
    if (k >= 20 && k < 32) continue;  // 12 frames lost
    sim.arrive(static_cast<std::uint32_t>(k), at_frame(k));
  }
  sim.run_until(at_frame(70));  // the stream goes on beyond: no loss at the end
  const ReceiveStats s = sim.engine().stats();
  EXPECT_EQ(s.lost, 12u);
  EXPECT_EQ(s.concealed, 5u);
  EXPECT_EQ(s.silent, 7u);
  EXPECT_GE(s.frames, 30u);
  // Concealment sounds; the silence after it is exact, and no longer than the rest.
  const std::size_t zeros = longest_zero_run(sim.output());
  EXPECT_GE(zeros, static_cast<std::size_t>(6 * kFrameSamples));
  EXPECT_LE(zeros, static_cast<std::size_t>(7 * kFrameSamples + 10));
}

TEST(PlayoutEngine, DuplicatesAndLateFramesAreDroppedAndCounted) {
  Simulation sim(30);
  for (int k = 0; k < 70; ++k) {
    if (k != 10) sim.arrive(static_cast<std::uint32_t>(k), at_frame(k));
    if (k < 50 && k % 7 == 0) sim.arrive(static_cast<std::uint32_t>(k), at_frame(k) + 3000000);
    if (k == 20) sim.arrive(10, at_frame(20) + 1000000);  // 200 ms late: concealed long before
  }
  sim.run_until(at_frame(50) + 30000000);
  const ReceiveStats s = sim.engine().stats();
  EXPECT_EQ(s.duplicate, 8u);  // 0, 7, ..., 49
  EXPECT_EQ(s.late, 1u);
  EXPECT_EQ(s.lost, 1u);
  EXPECT_EQ(s.concealed, 1u);
  EXPECT_EQ(s.frames, 49u);
}

TEST(PlayoutEngine, SequenceWrapIsSeamless) {
  Simulation sim(-1);
  const std::uint32_t first = 0xFFFFFFD0u;
  for (int k = 0; k < 120; ++k) sim.arrive(first + static_cast<std::uint32_t>(k), at_frame(k));
  sim.run_until(at_frame(100) + 30000000);
  const ReceiveStats s = sim.engine().stats();
  EXPECT_GE(s.frames, 100u);  // through the wrap, which was 48 frames in
  EXPECT_EQ(s.lost + s.late + s.resyncs, 0u);
}

TEST(PlayoutEngine, TargetFollowsTheJitterAndKeepsLateFramesRare) {
  Simulation sim(-1);
  // 0..30 ms of jitter, a fixed pseudo-random pattern.
  std::uint32_t state = 12345;
  for (int k = 0; k < 1500; ++k) {
    state = state * 1103515245u + 12345u;
    const std::int64_t jitter = static_cast<std::int64_t>((state >> 16) % 31) * 1000000;
    sim.arrive(static_cast<std::uint32_t>(k), at_frame(k) + jitter);
  }
  sim.run_until(at_frame(1500));
  ReceiveStats s = sim.engine().stats();
  EXPECT_GE(s.jitter_ms, 25);
  EXPECT_GE(s.target_ms, 35);  // jitter, margin and the 5 ms output period
  EXPECT_LE(s.target_ms, 42);
  EXPECT_NEAR(s.buffer_ms, s.target_ms, 5);
  // Only the first second, before the target rose, may lose frames.
  EXPECT_LE(s.late, 30u);
  EXPECT_GE(s.inserted + s.stretched, 1u);
}

TEST(PlayoutEngine, RestartedTransmitterStartsANewStream) {
  Simulation sim(-1);
  for (int k = 0; k < 50; ++k) sim.arrive(5000 + static_cast<std::uint32_t>(k), at_frame(k));
  // A new process counts from 0 again, 0.3 s later.
  for (int k = 0; k < 50; ++k) sim.arrive(static_cast<std::uint32_t>(k), at_frame(65 + k));
  sim.run_until(at_frame(120) + 60000000);
  const ReceiveStats s = sim.engine().stats();
  EXPECT_EQ(s.resyncs, 1u);
  // Two strays before the third announces the new stream; the rest plays.
  EXPECT_GE(s.frames, 95u);
  EXPECT_LE(s.frames, 98u);
  EXPECT_TRUE(s.playing);
}

// A transmitter whose clock runs 0.01 % slow or fast against ours, for ten
// simulated minutes: the delay stays at the target instead of creeping.
class DriftTest : public ::testing::TestWithParam<double> {};

TEST_P(DriftTest, DelayStaysWithinFiveMsOfTheTargetOverTenMinutes) {
  const double ratio = GetParam();
  Simulation sim(-1);
  const int frames = 10 * 60 * 50;
  for (int k = 0; k < frames; ++k) {
    const double t = static_cast<double>(k) * kFrameNs * ratio;
    sim.arrive(static_cast<std::uint32_t>(k), kStartNs + static_cast<std::int64_t>(t));
  }
  double worst = 0;
  for (int second = 1; second < 600; ++second) {
    sim.run_until(kStartNs + static_cast<std::int64_t>(second) * 1000000000);
    const ReceiveStats s = sim.engine().stats();
    if (second >= 5) worst = std::max(worst, std::fabs(s.buffer_ms - s.target_ms));
  }
  const ReceiveStats s = sim.engine().stats();
  EXPECT_LE(worst, 5.0);
  EXPECT_GT(s.stretched, 0u);  // without correction the delay would move 60 ms
  EXPECT_EQ(s.lost, 0u);
  EXPECT_EQ(s.inserted + s.skipped, 0u);
  RecordProperty("worst_delay_error_ms", std::to_string(worst));
}

INSTANTIATE_TEST_SUITE_P(ClockMismatch, DriftTest, ::testing::Values(1.0001, 0.9999));
