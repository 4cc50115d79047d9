// The stream brought to a device's own format: the pitch and level kept,
// left and right on the front speakers (both on a mono one), the rest silent, and no more of the
// stream taken than the device plays (else the output would drift behind).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "output_converter.h"
#include "signal_tools.h"

TEST(OutputConverter, FeedsEveryFormatAtThePitchAndPaceOfTheStream) {
  struct Format {
    int rate, channels;
  };
  for (const Format format :
       {Format{48000, 2}, Format{44100, 6}, Format{96000, 1}, Format{48000, 8}, Format{22050, 2}}) {
    SCOPED_TRACE(std::to_string(format.rate) + " Hz x" + std::to_string(format.channels));
    std::int64_t rendered = 0;
    const RenderFunction tone = [&](float* out, int frames, std::int64_t) {
      fill_signal(SignalSpec{997, 0.5}, rendered, out, frames);
      for (int i = 1; i < 2 * frames; i += 2) out[i] *= 0.5f;  // right at half the left
      rendered += frames;
    };
    OutputConverter converter(format.rate, format.channels, 1000);
    std::vector<float> out(static_cast<std::size_t>(format.rate) * format.channels);
    const int blocks[] = {441, 1000, 17};
    for (std::size_t done = 0, k = 0; done < out.size() / format.channels; ++k) {
      const int frames = std::min<int>(blocks[k % 3], out.size() / format.channels - done);
      converter.fill(out.data() + done * format.channels, frames, tone, 0);
      done += static_cast<std::size_t>(frames);
    }
    std::vector<float> speaker[3];
    for (std::size_t i = 0; i < out.size(); ++i) {
      speaker[std::min<std::size_t>(i % format.channels, 2)].push_back(out[i]);
    }
    const auto peak = [&](int k) {
      return *std::max_element(speaker[k].begin() + format.rate / 10, speaker[k].end());
    };
    const std::vector<float> front(speaker[0].begin() + format.rate / 10, speaker[0].end());
    EXPECT_NEAR(tone_frequency(front) * format.rate / 48000, 997, 2);
    EXPECT_LE(longest_quiet_run(front, 0, front.size(), 1e-4f), 2u);  // no gap
    EXPECT_NEAR(peak(0), format.channels == 1 ? 0.375 : 0.5, 0.02);
    if (format.channels > 1) {
      EXPECT_NEAR(peak(1), 0.25, 0.01);
    }
    for (float rest : speaker[2]) ASSERT_EQ(rest, 0.0f);
    EXPECT_NEAR(rendered, 48000, 1000 * 48000 / format.rate + 100);
  }
}
