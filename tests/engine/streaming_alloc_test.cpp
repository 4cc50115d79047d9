// The hot path must not allocate once it runs: this binary counts every heap
// allocation made on the test's thread while counting is switched on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "engine/audio_encoder.h"
#include "engine/capture_converter.h"
#include "engine/streaming_loop.h"

namespace {

thread_local bool counting = false;
thread_local int allocations = 0;

struct NullSink final : FrameSink {
  tovik::ConnectionState state() const override { return tovik::ConnectionState::Connected; }
  ErrorCode send_audio_frame(const AudioFrameHeader&, const std::uint8_t*, std::size_t) override {
    ++frames;
    return ErrorCode::Ok;
  }
  int frames = 0;
};

}  // namespace

#if defined(__GNUC__) && !defined(__clang__)
// The replacement pair below is matched; GCC cannot see that through inlining.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
  if (counting) ++allocations;
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

// A 44.1 kHz 5.1 device feeding the loop, as the capture thread does.
TEST(HotPath, ConvertingAndStreamingAllocateNothingAfterTheFirstFrames) {
  auto encoder = AudioEncoder::create(EncoderConfig{}).object;
  auto ring = std::make_unique<AudioRing>();
  CaptureConverter converter(*ring, 44100, 6);
  NullSink sink;
  StreamCounters counters;
  StreamingLoop loop(*ring, *encoder, sink);
  std::vector<float> packet(441 * 6, 0.1f);
  for (int i = 0; i < 110; ++i) {
    counting = i >= 10;
    packet[0] = static_cast<float>(i) / 100.0f;
    converter.on_audio_captured(packet.data(), 441, 44100, 6);
    loop.pump(counters);
  }
  counting = false;
  EXPECT_EQ(allocations, 0);
  EXPECT_GE(sink.frames, 54);
}
