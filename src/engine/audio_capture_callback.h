#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/audio_ring.h"

// Largest captured packet that is written to the ring; larger ones are dropped.
constexpr std::size_t kMaxCapturedPacketBytes = 32768;

// Bytes of a packet of frames x channels floats, or 0 when it carries nothing
// or exceeds kMaxCapturedPacketBytes (then it is dropped whole).
std::size_t captured_packet_bytes(const float* data, std::uint64_t frames, int channels);

// Capture callback: copies the packet unchanged into ring (wrapping at its
// end). No lock, no allocation. The rate is not used.
void on_audio_captured(AudioRing& ring, const float* data, std::uint64_t frames, int sample_rate,
                       int channels);

// The same into the process-wide ring.
void on_audio_captured(const float* data, std::uint64_t frames, int sample_rate, int channels);
