#include "jitter_estimator.h"

#include <algorithm>

#include "audio_format.h"

void JitterEstimator::on_arrival(std::uint32_t sequence, std::int64_t arrival_ns) {
  if (!any_) {
    any_ = true;
    position_ = 0;
    origin_ns_ = arrival_ns;
  } else {
    position_ += sequence_distance(last_sequence_, sequence);
  }
  last_sequence_ = sequence;
  const double offset_ns = static_cast<double>(arrival_ns - origin_ns_) -
                           static_cast<double>(position_) * static_cast<double>(kFrameNs);
  offsets_ms_[next_] = offset_ns / 1e6;
  next_ = (next_ + 1) % kWindow;
  count_ = std::min(count_ + 1, kWindow);
}

double JitterEstimator::jitter_ms() const {
  if (count_ < 2) return 0;
  double sorted[kWindow];
  std::copy(offsets_ms_, offsets_ms_ + count_, sorted);
  const int high = count_ - 1 - count_ / 20;  // the 95th percentile
  std::nth_element(sorted, sorted + high, sorted + count_);
  // The least of the kept offsets themselves: GCC for armhf cannot see that
  // the copy is filled as far as count_, and warns.
  const double low = *std::min_element(offsets_ms_, offsets_ms_ + count_);
  return sorted[high] - low;
}

void JitterEstimator::reset() {
  count_ = 0;
  next_ = 0;
  any_ = false;
}
