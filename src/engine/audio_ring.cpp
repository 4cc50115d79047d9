#include "engine/audio_ring.h"

#include <algorithm>
#include <cstring>

AudioRing::AudioRing(std::uint64_t start_pos)
    : write_pos_(start_pos), read_pos_(start_pos), buffer_{} {}

void AudioRing::write(const void* data, std::size_t n) {
  n = std::min(n, kSize);
  if (n == 0) return;
  // The value is not used: the acquire load orders the reader's earlier copies
  // out of the bytes we are about to overwrite before our writes.
  (void)read_pos_.load(std::memory_order_acquire);
  const std::uint64_t pos = write_pos_.load(std::memory_order_relaxed);
  const std::size_t index = static_cast<std::size_t>(pos % kSize);
  const std::size_t first = std::min(n, kSize - index);
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::memcpy(buffer_ + index, bytes, first);
  std::memcpy(buffer_, bytes + first, n - first);
  write_pos_.store(pos + n, std::memory_order_release);
}

void AudioRing::read(std::uint64_t pos, void* out, std::size_t n) const {
  n = std::min(n, kSize);
  if (n == 0) return;
  const std::size_t index = static_cast<std::size_t>(pos % kSize);
  const std::size_t first = std::min(n, kSize - index);
  auto* bytes = static_cast<unsigned char*>(out);
  std::memcpy(bytes, buffer_ + index, first);
  std::memcpy(bytes + first, buffer_, n - first);
}

AudioRing& process_audio_ring() {
  static AudioRing ring;
  return ring;
}
