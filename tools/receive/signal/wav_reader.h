#pragma once

#include <optional>
#include <string>
#include <vector>

// The first channel of a WAV file (16-bit PCM or 32-bit float) as floats.
struct WavData {
  int sample_rate = 0;
  int channels = 0;
  std::vector<float> first_channel;
};

std::optional<WavData> read_wav(const std::string& path);
