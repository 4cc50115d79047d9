#pragma once

#include <cstdint>

// Stands in for a device that is slow to deliver after a start (an idle
// PulseAudio sink finishes a long render block first): until its first
// packet, one period of silence falls due per period of real time, so that
// frames reach a receiver that just connected at once. Gives up after a few
// seconds: a device that never delivers is not dressed up as a silent one.
class StartupSilence {
 public:
  static constexpr std::int64_t kLimitNs = 3000000000;  // 3 s

  StartupSilence(int sample_rate, std::uint32_t period_frames);
  // The stream started at now_ns: silence falls due from now on.
  void start(std::int64_t now_ns);
  // The device delivered (or the stream stopped): no more silence.
  void stop() { armed_ = false; }
  bool armed() const { return armed_; }
  // Frames of silence due by now_ns that were not taken yet; takes them.
  std::uint32_t take_due(std::int64_t now_ns);
  // When the next period falls due; -1 when disarmed.
  std::int64_t next_due_ns() const;

 private:
  std::int64_t period_ns() const;

  int rate_;
  std::uint32_t period_frames_;
  bool armed_ = false;
  std::int64_t started_ns_ = 0;
  std::uint64_t periods_taken_ = 0;
};
