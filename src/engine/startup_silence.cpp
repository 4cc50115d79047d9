#include "engine/startup_silence.h"

StartupSilence::StartupSilence(int sample_rate, std::uint32_t period_frames)
    : rate_(sample_rate > 0 ? sample_rate : 48000),
      period_frames_(period_frames > 0 ? period_frames : 1) {}

void StartupSilence::start(std::int64_t now_ns) {
  armed_ = true;
  started_ns_ = now_ns;
  periods_taken_ = 0;
}

std::int64_t StartupSilence::period_ns() const {
  return static_cast<std::int64_t>(period_frames_) * 1000000000 / rate_;
}

std::uint32_t StartupSilence::take_due(std::int64_t now_ns) {
  if (!armed_) return 0;
  const std::int64_t elapsed = now_ns - started_ns_;
  if (elapsed >= kLimitNs) armed_ = false;
  if (elapsed <= 0) return 0;
  const std::uint64_t due = static_cast<std::uint64_t>(elapsed / period_ns());
  const std::uint64_t fresh = due > periods_taken_ ? due - periods_taken_ : 0;
  periods_taken_ += fresh;
  return static_cast<std::uint32_t>(fresh * period_frames_);
}

std::int64_t StartupSilence::next_due_ns() const {
  if (!armed_) return -1;
  return started_ns_ + static_cast<std::int64_t>(periods_taken_ + 1) * period_ns();
}
