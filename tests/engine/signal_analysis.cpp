#include "signal_analysis.h"

#include <cmath>

namespace test {

std::vector<float> channel_of(const std::vector<float>& interleaved, int channels, int channel) {
  std::vector<float> out;
  for (std::size_t i = channel; i < interleaved.size(); i += channels)
    out.push_back(interleaved[i]);
  return out;
}

std::vector<float> sine(double frequency, double amplitude, int rate, std::size_t frames,
                        int channels) {
  std::vector<float> out(frames * channels);
  const double step = 2.0 * 3.14159265358979323846 * frequency / rate;
  for (std::size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<float>(amplitude * std::sin(step * (i / channels)));
  return out;
}

double rms(const std::vector<float>& samples) {
  double sum = 0.0;
  for (float s : samples) sum += static_cast<double>(s) * s;
  return samples.empty() ? 0.0 : std::sqrt(sum / samples.size());
}

double zero_crossing_frequency(const std::vector<float>& samples, int rate) {
  double first = -1.0, last = -1.0;
  int crossings = 0;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    if (samples[i - 1] < 0.0f && samples[i] >= 0.0f) {
      last = (i - 1) + samples[i - 1] / (samples[i - 1] - samples[i]);
      if (crossings++ == 0) first = last;
    }
  }
  return crossings < 2 ? 0.0 : (crossings - 1) * static_cast<double>(rate) / (last - first);
}

}  // namespace test
