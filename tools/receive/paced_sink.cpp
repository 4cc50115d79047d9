#include "paced_sink.h"

#include <chrono>
#include <thread>

#include "audio_format.h"

namespace {

constexpr std::int64_t kResyncAfterNs = 200000000;

}  // namespace

std::int64_t PacedTimeline::hand_over(std::int64_t now_ns, int frames) {
  if (start_ns_ < 0) start_ns_ = now_ns;
  frames_ += static_cast<std::uint64_t>(frames);
  if (now_ns - due_ns() > kResyncAfterNs) {
    start_ns_ = now_ns;
    frames_ = 0;
  }
  return due_ns();
}

std::int64_t PacedTimeline::next_play_ns(std::int64_t now_ns) const {
  return start_ns_ < 0 ? now_ns : due_ns();
}

// From the total handed over, so that rounding never accumulates.
std::int64_t PacedTimeline::due_ns() const {
  return start_ns_ + static_cast<std::int64_t>(frames_ * 1000000000ull / kSampleRate);
}

bool PacedSink::write(const float* samples, int frames) {
  const std::int64_t now = paced_now_ns();
  if (!inner_->write(samples, frames)) return false;
  sleep_until_ns(timeline_.hand_over(now, frames));
  return true;
}

std::int64_t paced_now_ns() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void sleep_until_ns(std::int64_t due_ns) {
  std::this_thread::sleep_until(
      std::chrono::steady_clock::time_point(std::chrono::nanoseconds(due_ns)));
}
