#include "signal_analysis.h"

#include <cmath>

namespace test {

std::vector<float> channel_of(const std::vector<float>& interleaved, int channels, int channel) {
  std::vector<float> out;
  for (std::size_t i = static_cast<std::size_t>(channel); i < interleaved.size();
       i += static_cast<std::size_t>(channels)) {
    out.push_back(interleaved[i]);
  }
  return out;
}

std::vector<float> sine(double frequency, double amplitude, int rate, std::size_t frames,
                        int channels, double phase) {
  std::vector<float> out(frames * static_cast<std::size_t>(channels));
  const double step = 2.0 * 3.14159265358979323846 * frequency / rate;
  for (std::size_t f = 0; f < frames; ++f) {
    const float value = static_cast<float>(amplitude * std::sin(phase + step * f));
    for (int c = 0; c < channels; ++c) out[f * static_cast<std::size_t>(channels) + c] = value;
  }
  return out;
}

double rms(const std::vector<float>& samples) {
  if (samples.empty()) return 0.0;
  double sum = 0.0;
  for (float s : samples) sum += static_cast<double>(s) * s;
  return std::sqrt(sum / samples.size());
}

double zero_crossing_frequency(const std::vector<float>& samples, int rate) {
  double first = -1.0;
  double last = -1.0;
  int crossings = 0;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    if (samples[i - 1] < 0.0f && samples[i] >= 0.0f) {
      const double t = (i - 1) + samples[i - 1] / (samples[i - 1] - samples[i]);
      if (first < 0.0) first = t;
      last = t;
      ++crossings;
    }
  }
  if (crossings < 2) return 0.0;
  return (crossings - 1) * static_cast<double>(rate) / (last - first);
}

}  // namespace test
