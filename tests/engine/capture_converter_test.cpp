#include "engine/capture_converter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <tuple>
#include <vector>

#include "signal_analysis.h"
#include "support/test_support.h"

namespace {

// Feeds signal (a whole number of packets of `packet` frames) and, like
// the streaming thread, takes everything out of the ring after each one.
std::vector<float> convert(int rate, int channels, const std::vector<float>& signal,
                           std::size_t packet) {
  auto ring = std::make_unique<AudioRing>();
  CaptureConverter converter(*ring, rate, channels);
  std::vector<float> out;
  for (std::size_t at = 0; at < signal.size(); at += packet * channels) {
    converter.on_audio_captured(signal.data() + at, packet, rate, channels);
    const std::size_t old = out.size();
    out.resize(old + (ring->write_pos() - ring->read_pos()) / sizeof(float));
    ring->read(ring->read_pos(), out.data() + old, (out.size() - old) * sizeof(float));
    ring->set_read_pos(ring->write_pos());
  }
  return out;
}

}  // namespace

// A 1 kHz tone on one speaker comes out at 48 kHz in step, on the sides and
// at the levels of that speaker's gains, whatever the packet size: 10 ms of
// 192 kHz 5.1 and 7.1 are 46,080 and 61,440 bytes, more than one ring write.
TEST(CaptureConverter, MixesEachSpeakerIntoStereoAndResamplesInStep) {
  const double h = 0.70710678;
  const struct {
    int rate, channels, speaker;
    double left, right;
    std::size_t frames_out;
  } cases[] = {
      {48000, 2, 1, 0, 1, 14400}, {48000, 1, 0, 1, 1, 14400},  {16000, 1, 0, 1, 1, 14280},
      {44100, 2, 0, 1, 0, 14357}, {48000, 6, 2, h, h, 14400},  {96000, 6, 3, 0, 0, 14360},
      {44100, 6, 4, h, 0, 14357}, {192000, 6, 5, 0, h, 14360}, {192000, 8, 6, h, 0, 14360},
      {44100, 8, 7, 0, h, 14357}, {192000, 8, 0, 1, 0, 14360}};  // FL FR FC LFE BL BR SL SR
  for (const auto& c : cases) {
    const std::size_t packet = static_cast<std::size_t>(c.rate / 100);
    const auto tone = test::sine(1000, 0.5, c.rate, 30 * packet, 1);
    std::vector<float> signal(tone.size() * static_cast<std::size_t>(c.channels), 0.0f);
    for (std::size_t f = 0; f < tone.size(); ++f) signal[f * c.channels + c.speaker] = tone[f];
    const auto out = convert(c.rate, c.channels, signal, packet);
    EXPECT_EQ(out.size() / 2, c.frames_out) << c.rate << "/" << c.channels;
    const std::vector<float> steady(out.begin() + 2000, out.end() - 400);
    for (int side = 0; side < 2; ++side) {
      const auto samples = test::channel_of(steady, 2, side);
      const double level = (side == 0 ? c.left : c.right) * 0.5 / std::sqrt(2.0);
      EXPECT_NEAR(test::rms(samples), level, level > 0 ? 0.001 : 1e-5)
          << c.rate << "/" << c.channels << " speaker " << c.speaker << " side " << side;
      if (level > 0) {
        EXPECT_NEAR(test::zero_crossing_frequency(samples, 48000), 1000.0, 1.0);
      }
    }
  }
}

TEST(CaptureConverter, DropsPacketsOfOtherFormatsAndRefusesUnconvertibleOnes) {
  test::AppDataScope app_data;
  auto ring = std::make_unique<AudioRing>();
  CaptureConverter converter(*ring, 44100, 2);
  std::vector<float> samples(2 * 10000, 0.25f);
  converter.on_audio_captured(samples.data(), 441, 48000, 2);
  converter.on_audio_captured(samples.data(), 441, 44100, 1);
  converter.on_audio_captured(nullptr, 441, 44100, 2);
  EXPECT_EQ(ring->write_pos(), 0u);
  CaptureConverter(*ring, 48000, 2).on_audio_captured(samples.data(), 10000, 48000, 2);
  EXPECT_EQ(ring->write_pos(), 80000u);  // whole, in several writes
  for (auto [rate, channels, ok] :
       {std::tuple(768000, 64, true), std::tuple(1000, 1, true), std::tuple(999, 2, false),
        std::tuple(768001, 2, false), std::tuple(48000, 0, false), std::tuple(48000, 65, false)}) {
    EXPECT_EQ(CaptureConverter::check_format(rate, channels), ok) << rate << "/" << channels;
    EXPECT_EQ(CaptureConverter(*ring, rate, channels).ready(), ok) << rate << "/" << channels;
  }
  const auto log = test::log_lines(app_data, "debug.log");
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0],
            "capture: convert: 999 Hz with 2 channels cannot be converted to 48000 Hz stereo");
}
