#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "playout_engine.h"
#include "signal_tools.h"

namespace {

constexpr int kChunk = 240;  // the sink's 5 ms period
constexpr std::int64_t kStartNs = 1000000000;

std::int64_t at_frame(double k) { return kStartNs + static_cast<std::int64_t>(k * kFrameNs); }

// Drives an engine on simulated time: frames (Opus packets of a tone, encoded
// as the transmitter does) arrive when the schedule says, and the output
// takes a 5 ms chunk every 5 ms of its own clock.
class Simulation {
 public:
  explicit Simulation(int latency_option) : engine_(new PlayoutEngine(latency_option)) {
    EXPECT_EQ(engine_->init(), ErrorCode::Ok);
    ReferenceEncoder encoder;
    encoder.init();
    std::vector<float> pcm(960 * 2);
    std::uint8_t packet[1500];
    for (int k = 0; k < 50; ++k) {
      fill_signal(SignalSpec{}, k * 960, pcm.data(), 960);
      packets_.emplace_back(packet, packet + std::max(0, encoder.encode(pcm.data(), packet, 1500)));
    }
  }
  // Frame `sequence` arrives at `arrival_ns` (scheduled in arrival order).
  void arrive(std::uint32_t sequence, std::int64_t arrival_ns) {
    QueuedFrame& frame = pending_.emplace_back();
    const auto& packet = packets_[sequence % packets_.size()];
    frame.sequence = sequence;
    frame.arrival_ns = arrival_ns;
    frame.size = static_cast<std::uint16_t>(packet.size());
    std::memcpy(frame.payload, packet.data(), packet.size());
  }
  void run_until(std::int64_t until_ns) {
    float chunk[kChunk * 2];
    for (; now_ns_ < until_ns; now_ns_ += 5000000) {
      while (next_ < pending_.size() && pending_[next_].arrival_ns <= now_ns_) {
        engine_->receive(pending_[next_++]);
      }
      engine_->render(chunk, kChunk, now_ns_);
      for (int k = 0; k < kChunk; ++k) left_.push_back(chunk[2 * k]);
    }
  }
  ReceiveStats stats() const { return engine_->stats(); }
  std::string counts() const {
    const ReceiveStats s = stats();
    return "frames " + std::to_string(s.frames) + " lost " + std::to_string(s.lost) +
           " concealed " + std::to_string(s.concealed) + " silent " + std::to_string(s.silent) +
           " late " + std::to_string(s.late) + " dup " + std::to_string(s.duplicate) +
           " inserted " + std::to_string(s.inserted) + " skipped " + std::to_string(s.skipped) +
           " resyncs " + std::to_string(s.resyncs);
  }
  // Samples before the first sound, and the longest run of exact zeros after it.
  std::size_t first_sound() const { return first_active(left_, 0); }
  std::size_t longest_silence() const {
    return longest_quiet_run(left_, first_sound(), left_.size(), 0);
  }

 private:
  std::vector<std::vector<std::uint8_t>> packets_;
  std::unique_ptr<PlayoutEngine> engine_;  // large: not on the stack
  std::vector<QueuedFrame> pending_;
  std::size_t next_ = 0;
  std::int64_t now_ns_ = kStartNs;
  std::vector<float> left_;
};

struct Case {
  const char* name;
  int latency_option;
  std::function<void(Simulation&)> schedule;
  double run_frames;
  const char* counts;
  std::function<void(const Simulation&)> also = [](const Simulation&) {};
};

}  // namespace

TEST(PlayoutEngine, OrdersConcealsDropsAndResyncs) {
  const std::uint32_t wrap = 0xFFFFFFD0u;
  const Case cases[] = {
      {"swapped pairs, restored in order; 3 lost past the end", -1,
       [](Simulation& sim) {
         for (std::uint32_t k = 0; k < 100; k += 2) {
           sim.arrive(k + 1, at_frame(k + 0.05));
           sim.arrive(k, at_frame(k + 0.1));
         }
       },
       103, "frames 100 lost 3 concealed 3 silent 0 late 0 dup 0 inserted 0 skipped 0 resyncs 0",
       [](const Simulation& sim) {
         // Every other frame 19 ms early: about 21 ms of jitter, and the 5 ms
         // output period adds to it. Nothing is heard before the first frame
         // has waited its 20 ms.
         EXPECT_GE(sim.stats().target_ms, 20);
         EXPECT_LE(sim.stats().target_ms, 32);
         EXPECT_GE(sim.first_sound(), 22u * 48);
         EXPECT_LE(sim.first_sound(), 35u * 48);
       }},
      {"12 lost: 5 concealed, then silence", 40,
       [](Simulation& sim) {
         for (std::uint32_t k = 0; k < 100; ++k) {
           if (k < 20 || k >= 32) sim.arrive(k, at_frame(k));
         }
       },
       70, "frames 56 lost 12 concealed 5 silent 7 late 0 dup 0 inserted 0 skipped 0 resyncs 0",
       [](const Simulation& sim) {
         // Concealment sounds; the 7 frames of silence after it are exact zeros.
         EXPECT_GE(sim.longest_silence(), 6u * kFrameSamples);
         EXPECT_LE(sim.longest_silence(), 7u * kFrameSamples + 10);
       }},
      {"duplicates, waiting or played, and one 200 ms late", 30,
       [](Simulation& sim) {
         for (std::uint32_t k = 0; k < 70; ++k) {
           if (k != 10) sim.arrive(k, at_frame(k));
           if (k < 50 && k % 7 == 0) sim.arrive(k, at_frame(k + 0.15));
           if (k == 20) sim.arrive(10, at_frame(20.05));
           if (k == 45) sim.arrive(40, at_frame(45.05));
         }
       },
       51.5, "frames 49 lost 1 concealed 1 silent 0 late 1 dup 9 inserted 0 skipped 0 resyncs 0"},
      {"1.5 s without frames: a new stream, whatever comes next; 3 lost past the end", 40,
       [](Simulation& sim) {
         for (std::uint32_t k = 0; k < 130; ++k) sim.arrive(k, at_frame(k < 50 ? k : k + 75));
       },
       210, "frames 130 lost 53 concealed 8 silent 45 late 0 dup 0 inserted 0 skipped 0 resyncs 1"},
      {"sequence wrap", -1,
       [&](Simulation& sim) {
         for (std::uint32_t k = 0; k < 120; ++k) sim.arrive(wrap + k, at_frame(k));
       },
       101.5, "frames 101 lost 0 concealed 0 silent 0 late 0 dup 0 inserted 0 skipped 0 resyncs 0"},
      {"a restarted transmitter counts from 0 after 0.3 s: a gap, then a new stream", -1,
       [](Simulation& sim) {
         for (std::uint32_t k = 0; k < 50; ++k) sim.arrive(5000 + k, at_frame(k));
         for (std::uint32_t k = 0; k < 50; ++k) sim.arrive(k, at_frame(65 + k));
       },
       123, "frames 98 lost 23 concealed 10 silent 13 late 2 dup 0 inserted 0 skipped 0 resyncs 1"},
  };
  for (const Case& c : cases) {
    Simulation sim(c.latency_option);
    c.schedule(sim);
    sim.run_until(at_frame(c.run_frames));
    EXPECT_EQ(sim.counts(), c.counts) << c.name;
    EXPECT_TRUE(sim.stats().playing) << c.name;
    c.also(sim);
  }
}

TEST(PlayoutEngine, TargetFollowsTheJitterAndKeepsLateFramesRare) {
  Simulation sim(-1);
  // 0..30 ms of jitter, a fixed pseudo-random pattern.
  std::uint32_t state = 12345;
  for (std::uint32_t k = 0; k < 1500; ++k) {
    state = state * 1103515245u + 12345u;
    sim.arrive(k, at_frame(k) + static_cast<std::int64_t>((state >> 16) % 31) * 1000000);
  }
  sim.run_until(at_frame(1500));
  const ReceiveStats s = sim.stats();
  EXPECT_GE(s.jitter_ms, 25);
  EXPECT_GE(s.target_ms, 35);  // jitter, margin and the 5 ms output period
  EXPECT_LE(s.target_ms, 42);
  EXPECT_NEAR(s.buffer_ms, s.target_ms, 5);
  EXPECT_LE(s.late, 30u);  // only in the first second, before the target rose
  EXPECT_GE(s.inserted + s.stretched, 1u);
}

// A transmitter whose clock runs 0.01 % slow or fast against ours, for ten
// simulated minutes: the delay stays at the target instead of creeping.
TEST(PlayoutEngine, DriftIsCorrectedWithinFiveMsOverTenMinutes) {
  for (double ratio : {1.0001, 0.9999}) {
    Simulation sim(-1);
    for (std::uint32_t k = 0; k < 10 * 60 * 50; ++k) sim.arrive(k, at_frame(k * ratio));
    double worst = 0;
    for (int second = 1; second < 600; ++second) {
      sim.run_until(kStartNs + static_cast<std::int64_t>(second) * 1000000000);
      const ReceiveStats s = sim.stats();
      if (second >= 5) worst = std::max(worst, std::fabs(s.buffer_ms - s.target_ms));
    }
    EXPECT_LE(worst, 5.0) << ratio;
    EXPECT_GT(sim.stats().stretched, 0u) << ratio;  // uncorrected, the delay would move 60 ms
    EXPECT_EQ(sim.stats().lost + sim.stats().inserted + sim.stats().skipped, 0u) << ratio;
  }
}
