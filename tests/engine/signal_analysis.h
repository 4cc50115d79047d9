#pragma once

#include <cstddef>
#include <vector>

namespace test {

// Channel `channel` of interleaved samples.
std::vector<float> channel_of(const std::vector<float>& interleaved, int channels, int channel);

// Interleaved sine of frames x channels samples, the same in every channel.
std::vector<float> sine(double frequency, double amplitude, int rate, std::size_t frames,
                        int channels);

double rms(const std::vector<float>& samples);

// Frequency from the first to the last rising zero crossing (interpolated);
// 0 when fewer than two crossings.
double zero_crossing_frequency(const std::vector<float>& samples, int rate);

}  // namespace test
