#include "engine/audio_capture_callback.h"

std::size_t captured_packet_bytes(const float* data, std::uint64_t frames, int channels) {
  if (data == nullptr || frames == 0 || channels <= 0) return 0;
  // Checked before multiplying so that a huge frame count cannot overflow.
  if (frames > kMaxCapturedPacketBytes) return 0;
  const std::uint64_t n = frames * static_cast<std::uint64_t>(channels) * sizeof(float);
  return n > kMaxCapturedPacketBytes ? 0 : static_cast<std::size_t>(n);
}

void on_audio_captured(AudioRing& ring, const float* data, std::uint64_t frames,
                       int /*sample_rate*/, int channels) {
  const std::size_t n = captured_packet_bytes(data, frames, channels);
  if (n != 0) ring.write(data, n);
}

void on_audio_captured(const float* data, std::uint64_t frames, int sample_rate, int channels) {
  on_audio_captured(process_audio_ring(), data, frames, sample_rate, channels);
}
