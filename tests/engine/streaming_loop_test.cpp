#include "engine/streaming_loop.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <tuple>
#include <vector>

#include "engine/audio_encoder.h"
#include "engine_test_doubles.h"
#include "support/test_support.h"

using tovik::ConnectionState;

namespace {

// Writes n bytes of floats counting up from the float index at write_pos.
void fill(AudioRing& ring, std::size_t n) {
  std::vector<float> values(n / sizeof(float));
  const std::uint64_t start = ring.write_pos() / sizeof(float);
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<float>(start + i);
  ring.write(values.data(), n);
}

struct Rig {
  std::unique_ptr<AudioRing> ring = std::make_unique<AudioRing>();
  test::ScriptedEncoder encoder;
  test::RecordingSink sink;
  StreamCounters counters;
  StreamingLoop loop{*ring, encoder, sink};

  PassResult pass() { return loop.run_pass(counters); }
};

}  // namespace

TEST(StreamingLoop, DiscardsEverythingWhileNotConnected) {
  Rig rig;
  rig.sink.set_state(ConnectionState::Searching);
  fill(*rig.ring, 20000);
  EXPECT_EQ(rig.pass(), PassResult::NotConnected);
  EXPECT_EQ(rig.ring->read_pos(), 20000u);
  rig.sink.set_state(ConnectionState::ApprovalPending);
  fill(*rig.ring, 8000);
  EXPECT_EQ(rig.pass(), PassResult::NotConnected);
  EXPECT_EQ(rig.ring->read_pos(), 28000u);
  EXPECT_EQ(rig.sink.frame_count(), 0u);
  EXPECT_EQ(rig.counters.sequence, 0u);
}

TEST(StreamingLoop, BacklogsBeyondFourFramesAreCutToTwoWholeFrames) {
  const struct {
    std::size_t backlog;
    float first_sample;  // of the first frame sent
    std::uint64_t read_pos_after;
  } cases[] = {
      {20000, 0, 15360},     // two whole frames, the rest waits
      {30720, 0, 30720},     // exactly four frames are not cut
      {40000, 6160, 40000},  // 24640 bytes skipped
  };
  for (const auto& c : cases) {
    Rig rig;
    fill(*rig.ring, c.backlog);
    EXPECT_EQ(rig.pass(), PassResult::Sent);
    EXPECT_EQ(rig.encoder.last_first_sample, c.first_sample) << c.backlog;
    EXPECT_EQ(rig.encoder.last_frame_samples, 960);
    while (rig.pass() == PassResult::Sent) {
    }
    EXPECT_EQ(rig.ring->read_pos(), c.read_pos_after) << c.backlog;
  }
}

TEST(StreamingLoop, HeadersCountFramesMarkEveryFiftiethAndWrapLikeUnsigned32Bit) {
  Rig rig;
  for (int i = 0; i < 52; ++i) {
    fill(*rig.ring, 7680);
    ASSERT_EQ(rig.pass(), PassResult::Sent);
  }
  const auto frames = rig.sink.frames();
  ASSERT_EQ(frames.size(), 52u);
  for (std::uint32_t i = 0; i < 52; ++i) {
    const AudioFrameHeader& h = frames[i].header;
    EXPECT_EQ(h.version, 1);
    EXPECT_EQ(h.sequence, i);
    EXPECT_EQ(h.timestamp, 960u * i);
    EXPECT_EQ(h.flags, i % 50 == 0 ? 1 : 0) << i;
    EXPECT_EQ(h.bitrate, 128000u);
    EXPECT_EQ(h.payload_size, frames[i].payload.size());
  }
  Rig wrap;
  wrap.counters = {0xFFFFFFFFu, 0xFFFFFF00u};
  fill(*wrap.ring, 2 * 7680);
  wrap.pass();
  wrap.pass();
  const AudioFrameHeader h = wrap.sink.frames().at(1).header;
  EXPECT_EQ(std::make_tuple(h.sequence, h.flags, h.timestamp),
            std::make_tuple(0u, std::uint8_t{1}, 0xFFFFFF00u + 960u));
}

TEST(StreamingLoop, EncodeFailuresUseNoNumbersUnsentFramesUseTheirs) {
  Rig rig;
  rig.encoder.fail_calls = {1};
  fill(*rig.ring, 3 * 7680);
  EXPECT_EQ(rig.pass(), PassResult::Sent);
  EXPECT_EQ(rig.pass(), PassResult::EncodeFailed);
  EXPECT_EQ(rig.ring->read_pos(), 2u * 7680u);
  EXPECT_EQ(rig.pass(), PassResult::Sent);
  const auto frames = rig.sink.frames();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[1].header.sequence, 1u);
  EXPECT_EQ(frames[1].header.timestamp, 960u);
  Rig unsent;
  unsent.sink.set_send_result(ErrorCode::ConnectionLost);
  fill(*unsent.ring, 2 * 7680);
  EXPECT_EQ(unsent.pass(), PassResult::Sent);
  EXPECT_EQ(unsent.pass(), PassResult::Sent);
  EXPECT_EQ(unsent.counters.sequence, 2u);
  EXPECT_EQ(unsent.counters.timestamp, 1920u);
}

TEST(StreamingLoop, HeadersCarryTheEncodersAcceptedBitrate) {
  auto created = AudioEncoder::create(EncoderConfig{});
  ASSERT_EQ(created.code, ErrorCode::Ok);
  AudioEncoder& encoder = *created.object;
  auto ring = std::make_unique<AudioRing>();
  test::RecordingSink sink;
  StreamCounters counters;
  StreamingLoop loop(*ring, encoder, sink);
  std::vector<float> silence(1920, 0.0f);

  ring->write(silence.data(), 7680);
  loop.run_pass(counters);
  EXPECT_EQ(encoder.set_bitrate(64000), ErrorCode::Ok);
  ring->write(silence.data(), 7680);
  loop.run_pass(counters);
  EXPECT_EQ(encoder.set_bitrate(0), ErrorCode::CodecError);
  ring->write(silence.data(), 7680);
  loop.run_pass(counters);

  const auto frames = sink.frames();
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].header.bitrate, 128000u);
  EXPECT_EQ(frames[1].header.bitrate, 64000u);
  EXPECT_EQ(frames[2].header.bitrate, 64000u);
}
