// The ring, the frame loop and the encoder, driven by hand on the test's thread.
#include <gtest/gtest.h>
#include <opus/opus.h>

#include <cstring>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "engine/audio_capture_callback.h"
#include "engine/audio_encoder.h"
#include "engine/streaming_loop.h"
#include "signal_analysis.h"

using tovik::ConnectionState;

namespace {

// A session stand-in: a settable state and answer, every frame recorded.
struct RecordingSink final : FrameSink {
  ConnectionState now = ConnectionState::Connected;
  ErrorCode answer = ErrorCode::Ok;
  std::vector<std::pair<AudioFrameHeader, std::vector<std::uint8_t>>> frames;

  ConnectionState state() const override { return now; }
  ErrorCode send_audio_frame(const AudioFrameHeader& header, const std::uint8_t* payload,
                             std::size_t size) override {
    frames.push_back({header, std::vector<std::uint8_t>(payload, payload + size)});
    return answer;
  }
};

// Its packet is the frame's first sample; call number fail_call fails.
struct ScriptedEncoder final : FrameEncoder {
  int calls = 0;
  int fail_call = -1;
  ErrorCode encode(const float* pcm, std::int32_t, std::vector<std::uint8_t>& out,
                   std::int32_t*) override {
    if (calls++ == fail_call) return ErrorCode::CodecError;
    out.insert(out.end(), reinterpret_cast<const std::uint8_t*>(pcm),
               reinterpret_cast<const std::uint8_t*>(pcm + 1));
    return ErrorCode::Ok;
  }
  std::int32_t frame_samples() const override { return 960; }
  std::int32_t bitrate() const override { return 128000; }
};

struct Rig {
  explicit Rig(FrameEncoder& encoder) : loop(*ring, encoder, sink) {}
  std::unique_ptr<AudioRing> ring = std::make_unique<AudioRing>();
  RecordingSink sink;
  StreamCounters counters;
  StreamingLoop loop;

  PassResult pass() { return loop.run_pass(counters); }
  int drain() {
    int sent = 0;
    while (pass() == PassResult::Sent) ++sent;
    return sent;
  }
  // Writes n bytes of floats that count the ring's floats.
  void fill(std::size_t n) {
    std::vector<float> values(n / sizeof(float));
    std::iota(values.begin(), values.end(), static_cast<float>(ring->write_pos() / sizeof(float)));
    ring->write(values.data(), n);
  }
  float first_sample(std::size_t frame) const {
    float value = -1;
    std::memcpy(&value, sink.frames.at(frame).second.data(), sizeof value);
    return value;
  }
};

std::unique_ptr<AudioEncoder> opus_encoder() { return AudioEncoder::create({}).object; }

std::string describe(const AudioFrameHeader& h) {
  return "v" + std::to_string(h.version) + " #" + std::to_string(h.sequence) + " t" +
         std::to_string(h.timestamp) + " f" + std::to_string(h.flags) + " " +
         std::to_string(h.bitrate) + " bit/s " + std::to_string(h.payload_size) + " bytes";
}

}  // namespace

// Packets are copied as they come (byte p at index p % 65536), up to 32768
// bytes; larger or empty ones are dropped whole.
TEST(CaptureCallback, CopiesPacketsUpTo32768BytesIntoTheRingWrappingAtItsEnd) {
  auto ring = std::make_unique<AudioRing>(60000);
  std::vector<float> samples(2 * 4097);
  std::iota(samples.begin(), samples.end(), 1.0f);
  const float* data = samples.data();
  const struct {
    const float* data;
    std::uint64_t frames;
    int channels;
    std::uint64_t bytes;
  } cases[] = {{data, 4097, 2, 0},    {nullptr, 4, 2, 0},       {data, 0, 2, 0},
               {data, 4, 0, 0},       {data, UINT64_MAX, 2, 0}, {data, 4096, 2, 32768},
               {data + 100, 3, 1, 12}};
  for (const auto& c : cases) {
    const std::uint64_t before = ring->write_pos();
    on_audio_captured(*ring, c.data, c.frames, 44100, c.channels);
    EXPECT_EQ(ring->write_pos() - before, c.bytes) << c.frames << " x " << c.channels;
  }
  std::vector<float> back(8195), head(8192 - 1384);
  ring->read(60000, back.data(), back.size() * sizeof(float));
  ring->read(0, head.data(), head.size() * sizeof(float));
  std::vector<float> expected(data, data + 8192);
  expected.insert(expected.end(), data + 100, data + 103);
  EXPECT_EQ(back, expected);
  EXPECT_EQ(head, std::vector<float>(data + 1384, data + 8192));
}

// Receivers are tuned for general audio, the music signal type, complexity 5:
// libopus is deterministic for one build, so a plain encoder set up that way
// gives the same bytes, also at a low bitrate where the signal type picks
// another mode.
TEST(AudioEncoder, BytesMatchAPlainMusicEncoderOfComplexityFive) {
  auto encoder = opus_encoder();
  ASSERT_TRUE(encoder);
  int error = 0;
  OpusEncoder* reference = opus_encoder_create(48000, 2, OPUS_APPLICATION_AUDIO, &error);
  opus_encoder_ctl(reference, OPUS_SET_BITRATE(128000));
  opus_encoder_ctl(reference, OPUS_SET_SIGNAL(OPUS_SIGNAL_MUSIC));
  opus_encoder_ctl(reference, OPUS_SET_COMPLEXITY(5));
  const auto pcm = test::sine(440, 0.3, 48000, 960 * 40, 2);
  EXPECT_EQ(encoder->set_bitrate(0), ErrorCode::CodecError);  // refused: nothing changes
  for (int frame = 0; frame < 40; ++frame) {
    if (frame == 20) {
      ASSERT_EQ(encoder->set_bitrate(12000), ErrorCode::Ok);
      opus_encoder_ctl(reference, OPUS_SET_BITRATE(12000));
    }
    const float* at = pcm.data() + 2 * 960 * frame;
    std::vector<std::uint8_t> out = {0xAA}, expected(4000);  // encode appends
    std::int32_t bytes = 0;
    ASSERT_EQ(encoder->encode(at, 960, out, &bytes), ErrorCode::Ok);
    expected.resize(
        static_cast<std::size_t>(opus_encode_float(reference, at, 960, expected.data(), 4000)));
    expected.insert(expected.begin(), 0xAA);
    ASSERT_EQ(out, expected) << "frame " << frame;
    ASSERT_EQ(static_cast<std::size_t>(bytes) + 1, out.size());
  }
  opus_encoder_destroy(reference);
  EXPECT_EQ(encoder->set_bitrate(-5), ErrorCode::CodecError);
  EXPECT_EQ(encoder->bitrate(), 12000);
  std::vector<std::uint8_t> out = {1};
  std::int32_t bytes = -7;
  EXPECT_EQ(encoder->encode(pcm.data(), 100, out, &bytes), ErrorCode::CodecError);
  EXPECT_EQ(out, std::vector<std::uint8_t>{1});
  EXPECT_EQ(bytes, -7);
}

// 20 ms frames numbered from 0, flagged every 50th, with the bitrate the
// encoder accepted last; both counters wrap like unsigned 32-bit numbers.
TEST(StreamingLoop, HeadersNumberFramesFlagEveryFiftiethAndWrap) {
  auto encoder = opus_encoder();
  Rig rig(*encoder);
  for (int i = 0; i < 52; ++i) {
    if (i == 51) encoder->set_bitrate(64000);
    rig.fill(7680);
    ASSERT_EQ(rig.pass(), PassResult::Sent);
  }
  for (std::uint32_t i = 0; i < 52; ++i) {
    const AudioFrameHeader want = {1,
                                   i % 50 == 0,
                                   i,
                                   960 * i,
                                   i == 51 ? 64000u : 128000u,
                                   static_cast<std::uint16_t>(rig.sink.frames[i].second.size())};
    EXPECT_EQ(describe(rig.sink.frames[i].first), describe(want));
  }
  Rig wrap(*encoder);
  wrap.counters = {0xFFFFFFFFu, 0xFFFFFF00u};
  wrap.fill(2 * 7680);
  EXPECT_EQ(wrap.drain(), 2);
  EXPECT_EQ(describe(wrap.sink.frames[1].first).substr(0, 14), "v1 #0 t704 f1 ");
}

TEST(StreamingLoop, DiscardsUnlessConnectedCutsBacklogsAndNumbersOnlyEncodedFrames) {
  ScriptedEncoder encoder;
  Rig idle(encoder);
  for (auto state : {ConnectionState::Searching, ConnectionState::ApprovalPending}) {
    idle.sink.now = state;
    idle.fill(20000);
    EXPECT_EQ(idle.pass(), PassResult::NotConnected);
    EXPECT_EQ(idle.ring->read_pos(), idle.ring->write_pos());
  }
  EXPECT_EQ(idle.sink.frames.size() + idle.counters.sequence, 0u);
  // More than four frames waiting: only the newest two whole frames are sent.
  const struct {
    std::size_t backlog;
    int sent;
    float first_sample;
  } cases[] = {{20000, 2, 0}, {30720, 4, 0}, {40000, 2, 6160}};
  for (const auto& c : cases) {
    Rig rig(encoder);
    rig.fill(c.backlog);
    EXPECT_EQ(rig.drain(), c.sent) << c.backlog;
    EXPECT_EQ(rig.first_sample(0), c.first_sample) << c.backlog;
  }
  // A frame that fails to encode is consumed without a number; one the sink
  // could not send keeps its number.
  ScriptedEncoder failing;
  failing.fail_call = 1;
  Rig rig(failing);
  rig.sink.answer = ErrorCode::ConnectionLost;
  rig.fill(3 * 7680);
  EXPECT_EQ(rig.pass(), PassResult::Sent);
  EXPECT_EQ(rig.pass(), PassResult::EncodeFailed);
  EXPECT_EQ(rig.drain(), 1);
  EXPECT_EQ(rig.first_sample(1), 2 * 1920);
  EXPECT_EQ(describe(rig.sink.frames[1].first), "v1 #1 t960 f0 128000 bit/s 4 bytes");
  EXPECT_EQ(rig.counters.sequence + rig.counters.timestamp, 2u + 1920u);
}
