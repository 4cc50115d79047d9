#pragma once

#include <cstddef>
#include <cstdint>

// The stream's fixed format: Opus frames of 20 ms, 48000 Hz, stereo.
constexpr int kSampleRate = 48000;
constexpr int kChannels = 2;
constexpr int kFrameSamples = 960;  // per channel
constexpr int kFrameMs = 20;
constexpr std::int64_t kFrameNs = 20000000;
// Largest Opus packet this receiver keeps; one 20 ms Opus frame is at most
// 1275 bytes, so anything larger is not a frame of this stream.
constexpr std::size_t kMaxOpusPacket = 1500;

// Signed distance from one 32-bit sequence number to another, across the wrap.
inline std::int32_t sequence_distance(std::uint32_t from, std::uint32_t to) {
  return static_cast<std::int32_t>(to - from);
}
