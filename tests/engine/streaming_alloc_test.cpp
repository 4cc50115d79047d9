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

class NullSink final : public FrameSink {
 public:
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

TEST(HotPath, StreamingPassesAllocateNothingAfterTheFirstFrames) {
  auto created = AudioEncoder::create(EncoderConfig{});
  ASSERT_EQ(created.code, ErrorCode::Ok);
  auto ring = std::make_unique<AudioRing>();
  NullSink sink;
  StreamCounters counters;
  StreamingLoop loop(*ring, *created.object, sink);
  std::vector<float> frame(1920, 0.25f);
  for (int i = 0; i < 5; ++i) {
    ring->write(frame.data(), 7680);
    loop.run_pass(counters);
  }
  counting = true;
  for (int i = 0; i < 100; ++i) {
    frame[0] = static_cast<float>(i) / 100.0f;
    ring->write(frame.data(), 7680);
    loop.run_pass(counters);
    loop.run_pass(counters);  // starved
  }
  counting = false;
  EXPECT_EQ(allocations, 0);
  EXPECT_EQ(sink.frames, 105);
}

TEST(HotPath, ConvertingCaptureCallbackAllocatesNothing) {
  auto ring = std::make_unique<AudioRing>();
  CaptureConverter converter(*ring, 44100, 6);
  ASSERT_TRUE(converter.ready());
  std::vector<float> packet(441 * 6, 0.1f);
  counting = true;
  for (int i = 0; i < 100; ++i) converter.on_audio_captured(packet.data(), 441, 44100, 6);
  counting = false;
  EXPECT_EQ(allocations, 0);
  EXPECT_GT(ring->write_pos(), 0u);
}
