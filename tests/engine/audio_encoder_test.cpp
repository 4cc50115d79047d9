#include "engine/audio_encoder.h"

#include <gtest/gtest.h>
#include <opus/opus.h>

#include <memory>
#include <vector>

#include "engine/audio_capture_callback.h"
#include "engine/streaming_loop.h"
#include "engine_test_doubles.h"
#include "signal_analysis.h"

namespace {

std::unique_ptr<AudioEncoder> make_encoder(EncoderConfig config = {}) {
  auto created = AudioEncoder::create(config);
  EXPECT_EQ(created.code, ErrorCode::Ok);
  return std::move(created.object);
}

// Decodes every frame's payload, taken back off the wire form, into one
// interleaved stereo signal.
std::vector<float> decode_frames(const std::vector<test::RecordingSink::Frame>& frames) {
  int error = 0;
  OpusDecoder* decoder = opus_decoder_create(48000, 2, &error);
  EXPECT_EQ(error, OPUS_OK);
  std::vector<float> out;
  std::vector<float> pcm(2 * 960);
  for (const auto& frame : frames) {
    const auto wire = build_audio_frame(frame.header, frame.payload.data(), frame.payload.size());
    AudioFrameHeader parsed;
    EXPECT_TRUE(parse_audio_header(wire.data(), wire.size(), &parsed));
    const int samples = opus_decode_float(decoder, wire.data() + kAudioHeaderSize,
                                          static_cast<opus_int32>(wire.size() - kAudioHeaderSize),
                                          pcm.data(), 960, 0);
    EXPECT_EQ(samples, 960);
    out.insert(out.end(), pcm.begin(), pcm.end());
  }
  opus_decoder_destroy(decoder);
  return out;
}

}  // namespace

// The encoder must be exactly the one receivers are tuned for: general audio,
// the music signal type, complexity 5. libopus is deterministic for one build,
// so a plain encoder with those settings must give the same bytes, also at a
// low bitrate where the signal type picks another mode.
TEST(AudioEncoder, BytesMatchAMusicEncoderOfComplexityFive) {
  auto encoder = make_encoder();
  int error = 0;
  OpusEncoder* reference = opus_encoder_create(48000, 2, OPUS_APPLICATION_AUDIO, &error);
  ASSERT_EQ(error, OPUS_OK);
  opus_encoder_ctl(reference, OPUS_SET_BITRATE(128000));
  opus_encoder_ctl(reference, OPUS_SET_SIGNAL(OPUS_SIGNAL_MUSIC));
  opus_encoder_ctl(reference, OPUS_SET_COMPLEXITY(5));
  const auto pcm = test::sine(440, 0.3, 48000, 960 * 40, 2);
  std::vector<std::uint8_t> expected(4000);
  for (int frame = 0; frame < 40; ++frame) {
    if (frame == 20) {
      ASSERT_EQ(encoder->set_bitrate(12000), ErrorCode::Ok);
      opus_encoder_ctl(reference, OPUS_SET_BITRATE(12000));
    }
    const float* at = pcm.data() + 2 * 960 * frame;
    std::vector<std::uint8_t> out = {0xAA};  // encode appends
    std::int32_t bytes = 0;
    ASSERT_EQ(encoder->encode(at, 960, out, &bytes), ErrorCode::Ok);
    const int want = opus_encode_float(reference, at, 960, expected.data(), 4000);
    ASSERT_EQ(bytes, want) << "frame " << frame;
    EXPECT_EQ(out,
              [&] {
                std::vector<std::uint8_t> v = {0xAA};
                v.insert(v.end(), expected.begin(), expected.begin() + want);
                return v;
              }())
        << "frame " << frame;
  }
  opus_encoder_destroy(reference);
}

TEST(AudioEncoder, RefusedBitratesAndFramesChangeNothing) {
  auto encoder = make_encoder();
  EXPECT_EQ(encoder->frame_samples(), 960);
  EXPECT_EQ(encoder->bitrate(), 128000);
  EXPECT_EQ(encoder->set_bitrate(64000), ErrorCode::Ok);
  EXPECT_EQ(encoder->set_bitrate(0), ErrorCode::CodecError);
  EXPECT_EQ(encoder->set_bitrate(-5), ErrorCode::CodecError);
  EXPECT_EQ(encoder->bitrate(), 64000);
  const auto pcm = test::sine(1000, 0.5, 48000, 960, 2);
  std::vector<std::uint8_t> out = {1, 2, 3};
  std::int32_t bytes = -7;
  EXPECT_EQ(encoder->encode(pcm.data(), 100, out, &bytes), ErrorCode::CodecError);
  EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_EQ(bytes, -7);
}

TEST(AudioEncoder, SineSurvivesTheWholePipelineInFrequencyAndLevel) {
  auto encoder = make_encoder();
  auto ring = std::make_unique<AudioRing>();
  test::RecordingSink sink;
  StreamCounters counters;
  StreamingLoop loop(*ring, *encoder, sink);
  const auto signal = test::sine(1000, 0.5, 48000, 48000, 2);
  for (std::size_t frame = 0; frame + 480 <= 48000; frame += 480) {
    on_audio_captured(*ring, signal.data() + 2 * frame, 480, 48000, 2);
    while (loop.run_pass(counters) == PassResult::Sent) {
    }
  }
  const auto frames = sink.frames();
  ASSERT_EQ(frames.size(), 50u);
  const auto decoded = decode_frames(frames);
  // Skip the codec's start-up; judge the last 0.8 s of each channel.
  const std::vector<float> tail(decoded.begin() + 2 * 9600, decoded.end());
  for (int channel = 0; channel < 2; ++channel) {
    const auto samples = test::channel_of(tail, 2, channel);
    EXPECT_NEAR(test::zero_crossing_frequency(samples, 48000), 1000.0, 2.0);
    EXPECT_NEAR(test::rms(samples), 0.5 / 1.41421356, 0.02);
  }
}
