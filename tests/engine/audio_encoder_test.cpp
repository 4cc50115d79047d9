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

TEST(AudioEncoder, RefusedConfigurationsAreCodecErrors) {
  EXPECT_EQ(AudioEncoder::create({44000, 2, 128000, 20}).code, ErrorCode::CodecError);
  EXPECT_EQ(AudioEncoder::create({48000, 3, 128000, 20}).code, ErrorCode::CodecError);
  auto created = AudioEncoder::create({48000, 2, 128000, 20});
  EXPECT_EQ(created.code, ErrorCode::Ok);
  ASSERT_TRUE(created.object);
  EXPECT_EQ(created.object->frame_samples(), 960);
  EXPECT_EQ(created.object->bitrate(), 128000);
}

TEST(AudioEncoder, BitrateChangesOnlyWhenAccepted) {
  auto encoder = make_encoder();
  EXPECT_EQ(encoder->set_bitrate(64000), ErrorCode::Ok);
  EXPECT_EQ(encoder->bitrate(), 64000);
  EXPECT_EQ(encoder->set_bitrate(0), ErrorCode::CodecError);
  EXPECT_EQ(encoder->set_bitrate(-5), ErrorCode::CodecError);
  EXPECT_EQ(encoder->bitrate(), 64000);
  EXPECT_EQ(encoder->set_bitrate(256000), ErrorCode::Ok);
  EXPECT_EQ(encoder->bitrate(), 256000);
}

TEST(AudioEncoder, EncodeAppendsOnePacket) {
  auto encoder = make_encoder();
  const auto pcm = test::sine(1000, 0.5, 48000, 960, 2);
  std::vector<std::uint8_t> out = {0xAA, 0xBB};
  std::int32_t bytes = 0;
  ASSERT_EQ(encoder->encode(pcm.data(), 960, out, &bytes), ErrorCode::Ok);
  EXPECT_GT(bytes, 0);
  EXPECT_LE(bytes, 2550);
  EXPECT_EQ(out.size(), 2u + static_cast<std::size_t>(bytes));
  EXPECT_EQ(out[0], 0xAA);
  EXPECT_EQ(out[1], 0xBB);
}

TEST(AudioEncoder, FailedEncodeLeavesTheOutputAsItWas) {
  auto encoder = make_encoder();
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
