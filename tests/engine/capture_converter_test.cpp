#include "engine/capture_converter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <tuple>
#include <vector>

#include "signal_analysis.h"
#include "support/test_support.h"

namespace {

std::vector<float> ring_contents(const AudioRing& ring) {
  std::vector<float> out(static_cast<std::size_t>(ring.write_pos()) / sizeof(float));
  ring.read(0, out.data(), out.size() * sizeof(float));
  return out;
}

// Feeds signal (frames x channels) in packets of `packet` frames and, like
// the streaming thread, takes everything out of the ring after each one.
std::vector<float> feed(AudioRing& ring, CaptureConverter& converter,
                        const std::vector<float>& signal, int rate, int channels,
                        std::size_t packet) {
  std::vector<float> out;
  const std::size_t frames = signal.size() / static_cast<std::size_t>(channels);
  for (std::size_t f = 0; f < frames; f += packet) {
    const std::size_t n = std::min(packet, frames - f);
    converter.on_audio_captured(signal.data() + f * channels, n, rate, channels);
    const std::uint64_t end = ring.write_pos();
    std::vector<float> chunk(static_cast<std::size_t>(end - ring.read_pos()) / sizeof(float));
    ring.read(ring.read_pos(), chunk.data(), chunk.size() * sizeof(float));
    ring.set_read_pos(end);
    out.insert(out.end(), chunk.begin(), chunk.end());
  }
  return out;
}

}  // namespace

TEST(CaptureConverter, FortyEightKilohertzStereoPassesUntouched) {
  auto ring = std::make_unique<AudioRing>();
  CaptureConverter converter(*ring, 48000, 2);
  EXPECT_TRUE(converter.ready());
  EXPECT_TRUE(converter.passthrough());
  const std::vector<float> samples = {0.1f, -0.2f, 0.3f, -0.4f};
  converter.on_audio_captured(samples.data(), 2, 48000, 2);
  EXPECT_EQ(ring_contents(*ring), samples);
}

TEST(CaptureConverter, ResamplingKeepsFrequencyAndLevel) {
  auto ring = std::make_unique<AudioRing>();
  CaptureConverter converter(*ring, 44100, 2);
  ASSERT_TRUE(converter.ready());
  EXPECT_FALSE(converter.passthrough());
  const auto signal = test::sine(1000, 0.5, 44100, 441 * 30, 2);
  const auto out = feed(*ring, converter, signal, 44100, 2, 441);
  const std::size_t frames = out.size() / 2;
  EXPECT_NEAR(static_cast<double>(frames), 480.0 * 30, 60.0);
  const std::vector<float> steady(out.begin() + 2 * 1000, out.end() - 2 * 200);
  for (int channel = 0; channel < 2; ++channel) {
    const auto samples = test::channel_of(steady, 2, channel);
    EXPECT_NEAR(test::zero_crossing_frequency(samples, 48000), 1000.0, 1.0);
    EXPECT_NEAR(test::rms(samples), 0.5 / 1.41421356, 0.01);
  }
}

TEST(CaptureConverter, UpsamplingFromLowRatesStaysInStep) {
  auto ring = std::make_unique<AudioRing>();
  CaptureConverter converter(*ring, 16000, 1);
  ASSERT_TRUE(converter.ready());
  const auto signal = test::sine(440, 0.25, 16000, 160 * 40, 1);
  const auto out = feed(*ring, converter, signal, 16000, 1, 160);
  // Short by the filter's delay only (about 40 input samples), never drifting.
  EXPECT_NEAR(static_cast<double>(out.size() / 2), 480.0 * 40, 160.0);
  const std::vector<float> steady(out.begin() + 2 * 1000, out.end() - 2 * 200);
  const auto left = test::channel_of(steady, 2, 0);
  EXPECT_EQ(left, test::channel_of(steady, 2, 1));
  EXPECT_NEAR(test::zero_crossing_frequency(left, 48000), 440.0, 1.0);
  EXPECT_NEAR(test::rms(left), 0.25 / 1.41421356, 0.01);
}

TEST(CaptureConverter, MonoIsDuplicated) {
  auto ring = std::make_unique<AudioRing>();
  CaptureConverter converter(*ring, 48000, 1);
  const std::vector<float> samples = {0.1f, -0.2f, 0.3f};
  converter.on_audio_captured(samples.data(), 3, 48000, 1);
  EXPECT_EQ(ring_contents(*ring), (std::vector<float>{0.1f, 0.1f, -0.2f, -0.2f, 0.3f, 0.3f}));
}

TEST(CaptureConverter, FivePointOneIsMixedDownToStereo) {
  auto ring = std::make_unique<AudioRing>();
  CaptureConverter converter(*ring, 48000, 6);
  // One frame per speaker: FL, FR, FC, LFE, BL, BR each alone at 1.0.
  std::vector<float> samples(6 * 6, 0.0f);
  for (int speaker = 0; speaker < 6; ++speaker) samples[speaker * 6 + speaker] = 1.0f;
  converter.on_audio_captured(samples.data(), 6, 48000, 6);
  const auto out = ring_contents(*ring);
  const float h = 0.70710678f;
  const std::vector<float> expected = {1, 0, 0, 1, h, h, 0, 0, h, 0, 0, h};
  ASSERT_EQ(out.size(), expected.size());
  for (std::size_t i = 0; i < out.size(); ++i) EXPECT_NEAR(out[i], expected[i], 1e-6) << i;
}

TEST(CaptureConverter, SevenPointOneAt44100IsMixedAndResampled) {
  auto ring = std::make_unique<AudioRing>();
  CaptureConverter converter(*ring, 44100, 8);
  ASSERT_TRUE(converter.ready());
  // A tone on the front left only must come out on the left only, at its level.
  const auto mono = test::sine(1000, 0.5, 44100, 441 * 30, 1);
  std::vector<float> signal(mono.size() * 8, 0.0f);
  for (std::size_t f = 0; f < mono.size(); ++f) signal[f * 8] = mono[f];
  const auto out = feed(*ring, converter, signal, 44100, 8, 441);
  const std::vector<float> steady(out.begin() + 2 * 1000, out.end() - 2 * 200);
  const auto left = test::channel_of(steady, 2, 0);
  EXPECT_NEAR(test::zero_crossing_frequency(left, 48000), 1000.0, 1.0);
  EXPECT_NEAR(test::rms(left), 0.5 / 1.41421356, 0.01);
  EXPECT_LT(test::rms(test::channel_of(steady, 2, 1)), 1e-4);
}

TEST(CaptureConverter, DropsPacketsItWasNotPreparedFor) {
  auto ring = std::make_unique<AudioRing>();
  CaptureConverter converter(*ring, 44100, 2);
  std::vector<float> samples(2 * 441, 0.5f);
  converter.on_audio_captured(samples.data(), 441, 48000, 2);
  converter.on_audio_captured(samples.data(), 441, 44100, 1);
  converter.on_audio_captured(nullptr, 441, 44100, 2);
  EXPECT_EQ(ring->write_pos(), 0u);
  CaptureConverter broken(*ring, 0, 2);
  EXPECT_FALSE(broken.ready());
}

// 10 ms packets of 192 kHz 5.1 and 7.1 are 46,080 and 61,440 bytes, more than
// one ring write: they must come out as the tone that went into the fronts.
TEST(CaptureConverter, LargeSurroundPacketsConvertWhole) {
  for (int channels : {6, 8}) {
    auto ring = std::make_unique<AudioRing>();
    CaptureConverter converter(*ring, 192000, channels);
    ASSERT_TRUE(converter.ready());
    const auto mono = test::sine(1000, 0.5, 192000, 1920 * 20, 1);
    std::vector<float> signal(mono.size() * static_cast<std::size_t>(channels), 0.0f);
    for (std::size_t f = 0; f < mono.size(); ++f) {
      signal[f * channels] = signal[f * channels + 1] = mono[f];
    }
    EXPECT_EQ(1920 * channels * sizeof(float), channels == 6 ? 46080u : 61440u);
    const auto out = feed(*ring, converter, signal, 192000, channels, 1920);
    EXPECT_NEAR(static_cast<double>(out.size() / 2), 480.0 * 20, 60.0) << channels;
    const std::vector<float> steady(out.begin() + 2 * 1000, out.end() - 2 * 200);
    for (int side = 0; side < 2; ++side) {
      const auto samples = test::channel_of(steady, 2, side);
      EXPECT_NEAR(test::zero_crossing_frequency(samples, 48000), 1000.0, 1.0) << channels;
      EXPECT_NEAR(test::rms(samples), 0.5 / 1.41421356, 0.01) << channels;
    }
  }
  auto ring = std::make_unique<AudioRing>();
  CaptureConverter stereo(*ring, 48000, 2);
  std::vector<float> long_packet(2 * 10000, 0.25f);
  stereo.on_audio_captured(long_packet.data(), 10000, 48000, 2);
  EXPECT_EQ(ring->write_pos(), 80000u);
}

TEST(CaptureConverter, FormatsOutsideTheConvertibleRangeAreRefused) {
  test::AppDataScope app_data;  // refusals are logged
  auto ring = std::make_unique<AudioRing>();
  for (auto [rate, channels, ok] :
       {std::tuple(768000, 64, true), std::tuple(1000, 1, true), std::tuple(999, 2, false),
        std::tuple(768001, 2, false), std::tuple(48000, 0, false), std::tuple(48000, 65, false)}) {
    EXPECT_EQ(CaptureConverter::check_format(rate, channels), ok) << rate << "/" << channels;
    EXPECT_EQ(CaptureConverter(*ring, rate, channels).ready(), ok) << rate << "/" << channels;
  }
}
