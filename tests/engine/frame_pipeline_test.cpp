// The ring, the frame loop and the encoder, driven by hand on the test's
// thread. This binary counts the heap allocations made on the test's thread
// while counting is switched on: the hot path must make none once it runs.
#include <gtest/gtest.h>
#include <opus/opus.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <tuple>
#include <vector>

#include "engine/audio_encoder.h"
#include "engine/audio_ring.h"
#include "engine/capture_converter.h"
#include "engine/streaming_loop.h"
#include "signal_analysis.h"

using tovik::ConnectionState;

namespace {

thread_local bool counting = false;
thread_local int allocations = 0;

std::vector<std::uint32_t> fields(const AudioFrameHeader& h) {
  return {h.version, h.flags, h.sequence, h.timestamp, h.bitrate, h.payload_size};
}

// The loop with a session stand-in: a settable state and answer, every frame
// recorded unless told not to.
struct Rig final : FrameSink {
  explicit Rig(FrameEncoder& encoder) : loop(*ring, encoder, *this) {}
  ConnectionState state() const override { return now; }
  ErrorCode send_audio_frame(const AudioFrameHeader& header, const std::uint8_t* payload,
                             std::size_t size) override {
    ++sent;
    if (record) headers.push_back(fields(header)), payloads.emplace_back(payload, payload + size);
    return answer;
  }
  PassResult pass() { return loop.run_pass(counters); }
  int drain() {
    int frames = 0;
    while (pass() == PassResult::Sent) ++frames;
    return frames;
  }
  std::size_t left() const { return ring->write_pos() - ring->read_pos(); }

  std::unique_ptr<AudioRing> ring = std::make_unique<AudioRing>();
  ConnectionState now = ConnectionState::Connected;
  ErrorCode answer = ErrorCode::Ok;
  bool record = true;
  int sent = 0;
  std::vector<std::vector<std::uint32_t>> headers;
  std::vector<std::vector<std::uint8_t>> payloads;
  StreamCounters counters;
  StreamingLoop loop;
};

std::unique_ptr<AudioEncoder> opus_encoder(EncoderConfig config = {}) {
  return AudioEncoder::create(config).object;
}

const std::vector<float> kSilence(16384, 0.0f);

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

// Byte p lives at index p % 65536: a write across the end wraps to the start.
TEST(AudioRing, WritesAcrossTheEndWrapToTheStart) {
  auto ring = std::make_unique<AudioRing>(60000);
  const auto data = test::sine(440, 0.5, 48000, 960, 2);
  ring->write(data.data(), 7680);
  std::vector<float> back(1920), head(1920 - 1384);
  ring->read(60000, back.data(), 7680);
  ring->read(0, head.data(), head.size() * sizeof(float));
  EXPECT_EQ(back, data);
  EXPECT_EQ(head, std::vector<float>(data.begin() + 1384, data.end()));
}

// Each 20 ms of the ring encoded exactly as a plain libopus encoder for
// general audio, the music signal type and complexity 5 does it (receivers
// are tuned for that; libopus is deterministic for one build), also at a low
// bitrate where the signal type picks another mode; numbered, flagged every
// 50th from 0, with the bitrate the encoder accepted last; the counters wrap
// like uint32.
TEST(StreamingLoop, SendsTheRingsFramesEncodedForMusicNumberedAndFlagged) {
  auto encoder = opus_encoder();
  int error = 0;
  OpusEncoder* reference = opus_encoder_create(48000, 2, OPUS_APPLICATION_AUDIO, &error);
  opus_encoder_ctl(reference, OPUS_SET_BITRATE(128000));
  opus_encoder_ctl(reference, OPUS_SET_SIGNAL(OPUS_SIGNAL_MUSIC));
  opus_encoder_ctl(reference, OPUS_SET_COMPLEXITY(5));
  Rig rig(*encoder);
  rig.counters = {0xFFFFFFFEu, 0xFFFFFF00u};
  const auto pcm = test::sine(440, 0.3, 48000, 960 * 53, 2);
  for (std::uint32_t i = 0; i < 53; ++i) {
    if (i == 13) {
      ASSERT_EQ(encoder->set_bitrate(0), ErrorCode::CodecError);  // changes nothing
    }
    if (i == 26) {
      ASSERT_EQ(encoder->set_bitrate(12000), ErrorCode::Ok);
      opus_encoder_ctl(reference, OPUS_SET_BITRATE(12000));
    }
    rig.answer = i == 5 ? ErrorCode::ConnectionLost : ErrorCode::Ok;  // unsent: number used
    rig.ring->write(pcm.data() + 1920 * i, 7680);
    ASSERT_EQ(rig.pass(), PassResult::Sent);
    std::vector<std::uint8_t> expected(4000);
    expected.resize(static_cast<std::size_t>(
        opus_encode_float(reference, pcm.data() + 1920 * i, 960, expected.data(), 4000)));
    EXPECT_EQ(rig.payloads[i], expected) << i;
    const std::uint32_t sequence = 0xFFFFFFFEu + i;
    EXPECT_EQ(rig.headers[i], (std::vector<std::uint32_t>{
                                  1, sequence % 50 == 0, sequence, 0xFFFFFF00u + 960 * i,
                                  i < 26 ? 128000u : 12000u, std::uint32_t(expected.size())}));
  }
  opus_encoder_destroy(reference);
}

TEST(StreamingLoop, DiscardsUnlessConnectedCutsBacklogsAndNumbersOnlyEncodedFrames) {
  auto encoder = opus_encoder();
  Rig idle(*encoder);
  for (auto state : {ConnectionState::Searching, ConnectionState::ApprovalPending}) {
    idle.now = state;
    idle.ring->write(kSilence.data(), 20000);
    EXPECT_EQ(idle.pass(), PassResult::NotConnected);
    EXPECT_EQ(idle.left() + idle.sent + idle.counters.sequence, 0u);
  }
  // More than four frames waiting: only the newest two whole frames are sent.
  for (auto [backlog, sent, left] : {std::tuple(20000, 2, 4640u), std::tuple(30720, 4, 0u),
                                     std::tuple(40000, 2, 0u), std::tuple(30724, 2, 0u)}) {
    Rig rig(*encoder);
    rig.ring->write(kSilence.data(), backlog);
    EXPECT_EQ(rig.drain(), sent) << backlog;
    EXPECT_EQ(rig.left(), left) << backlog;
  }
  // A frame that fails to encode (7 ms does not exist) is consumed without a
  // number.
  auto odd = opus_encoder({48000, 2, 128000, 7});
  Rig failing(*odd);
  failing.ring->write(kSilence.data(), 7000);
  EXPECT_EQ(failing.pass(), PassResult::EncodeFailed);
  EXPECT_EQ(failing.ring->read_pos() + failing.counters.sequence, 2688u);
}

// A 44.1 kHz 5.1 device feeding the loop, as on the capture thread.
TEST(HotPath, ConvertingAndStreamingAllocateNothingAfterTheFirstFrames) {
  auto encoder = opus_encoder();
  Rig rig(*encoder);
  rig.record = false;
  CaptureConverter converter(*rig.ring, 44100, 6);
  std::vector<float> packet(441 * 6, 0.1f);
  for (int i = 0; i < 110; ++i) {
    counting = i >= 10;
    converter.on_audio_captured(packet.data(), 441, 44100, 6);
    rig.loop.pump(rig.counters);
  }
  counting = false;
  EXPECT_EQ(allocations, 0);
  EXPECT_GE(rig.sent, 54);
}
