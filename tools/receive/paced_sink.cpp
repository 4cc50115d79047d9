#include "paced_sink.h"

#include <thread>

#include "audio_format.h"

namespace {

// Behind by more than this (a suspended process): start counting afresh
// instead of writing the backlog in a burst.
constexpr auto kResyncAfter = std::chrono::milliseconds(200);

}  // namespace

std::int64_t PacedSink::next_play_ns(std::int64_t now_ns) {
  if (!started_) return now_ns;
  const auto due = start_ + std::chrono::nanoseconds(frames_ * 1000000000ull / kSampleRate);
  return std::chrono::duration_cast<std::chrono::nanoseconds>(due.time_since_epoch()).count();
}

bool PacedSink::write(const float* samples, int frames) {
  const auto now = std::chrono::steady_clock::now();
  if (!started_) {
    started_ = true;
    start_ = now;
    frames_ = 0;
  }
  if (!inner_->write(samples, frames)) return false;
  frames_ += static_cast<std::uint64_t>(frames);
  // The deadline comes from the total written, so rounding never accumulates.
  auto due = start_ + std::chrono::nanoseconds(frames_ * 1000000000ull / kSampleRate);
  if (now - due > kResyncAfter) {
    start_ = now;
    frames_ = 0;
    return true;
  }
  std::this_thread::sleep_until(due);
  return true;
}
