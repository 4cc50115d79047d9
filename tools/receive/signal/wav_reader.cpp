#include "wav_reader.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

std::uint32_t le32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t le16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

}  // namespace

std::optional<WavData> read_wav(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                   std::istreambuf_iterator<char>());
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
      std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
    return std::nullopt;
  }
  WavData wav;
  int format = 0, bits = 0;
  for (std::size_t at = 12; at + 8 <= bytes.size();) {
    const std::uint32_t size = le32(&bytes[at + 4]);
    const unsigned char* body = &bytes[at + 8];
    const std::size_t available = std::min<std::size_t>(size, bytes.size() - at - 8);
    if (std::memcmp(&bytes[at], "fmt ", 4) == 0 && available >= 16) {
      format = le16(body);
      wav.channels = le16(body + 2);
      wav.sample_rate = static_cast<int>(le32(body + 4));
      bits = le16(body + 14);
    } else if (std::memcmp(&bytes[at], "data", 4) == 0 && wav.channels > 0) {
      const int width = bits / 8;
      if (width <= 0) return std::nullopt;
      const std::size_t frames = available / (width * wav.channels);
      wav.first_channel.resize(frames);
      for (std::size_t k = 0; k < frames; ++k) {
        const unsigned char* s = body + k * width * wav.channels;
        if (format == 3 && bits == 32) {
          float value;
          std::memcpy(&value, s, 4);
          wav.first_channel[k] = value;
        } else if (format == 1 && bits == 16) {
          wav.first_channel[k] = static_cast<std::int16_t>(le16(s)) / 32768.0f;
        } else {
          return std::nullopt;
        }
      }
      return wav;
    }
    at += 8 + size + (size & 1);
  }
  return std::nullopt;
}
