#include "wav_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Little-endian writers: the file format is, whatever the machine is.
void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}

void put_tag(std::vector<std::uint8_t>& out, const char* tag) {
  out.insert(out.end(), tag, tag + 4);
}

int bytes_per_sample(WavSampleFormat format) { return format == WavSampleFormat::Float32 ? 4 : 2; }

// A RIFF size field holds at most 4 GiB; longer recordings keep the maximum.
std::uint32_t clamp32(std::uint64_t value) {
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(value, 0xFFFFFFFFu));
}

}  // namespace

std::vector<std::uint8_t> build_wav_header(WavSampleFormat format, int channels, int sample_rate,
                                           std::uint32_t data_bytes) {
  const bool is_float = format == WavSampleFormat::Float32;
  const std::uint32_t block = static_cast<std::uint32_t>(channels * bytes_per_sample(format));
  const std::uint32_t header_size = is_float ? 58 : 44;
  std::vector<std::uint8_t> out;
  out.reserve(header_size);
  put_tag(out, "RIFF");
  put32(out, clamp32(std::uint64_t{header_size} - 8 + data_bytes));
  put_tag(out, "WAVE");
  put_tag(out, "fmt ");
  put32(out, is_float ? 18 : 16);
  put16(out, is_float ? 3 : 1);  // WAVE_FORMAT_IEEE_FLOAT or WAVE_FORMAT_PCM
  put16(out, static_cast<std::uint32_t>(channels));
  put32(out, static_cast<std::uint32_t>(sample_rate));
  put32(out, static_cast<std::uint32_t>(sample_rate) * block);
  put16(out, block);
  put16(out, static_cast<std::uint32_t>(bytes_per_sample(format) * 8));
  if (is_float) {
    put16(out, 0);  // cbSize
    put_tag(out, "fact");
    put32(out, 4);
    put32(out, block == 0 ? 0 : data_bytes / block);
  }
  put_tag(out, "data");
  put32(out, data_bytes);
  return out;
}

bool WavWriter::open(const std::string& path, WavSampleFormat format, int channels,
                     int sample_rate) {
  close();
  file_ = std::fopen(path.c_str(), "wb");
  if (file_ == nullptr) return false;
  format_ = format;
  channels_ = channels;
  sample_rate_ = sample_rate;
  frames_ = 0;
  const std::vector<std::uint8_t> header = build_wav_header(format, channels, sample_rate, 0);
  return std::fwrite(header.data(), 1, header.size(), file_) == header.size();
}

bool WavWriter::write(const float* samples, int frames) {
  if (file_ == nullptr || frames <= 0) return file_ != nullptr;
  const std::size_t count = static_cast<std::size_t>(frames) * channels_;
  std::size_t written = 0;
  if (format_ == WavSampleFormat::Float32) {
    written = std::fwrite(samples, sizeof(float), count, file_);
  } else {
    converted_.resize(count);
    for (std::size_t k = 0; k < count; ++k) {
      const float clipped = std::clamp(samples[k], -1.0f, 1.0f);
      converted_[k] = static_cast<std::int16_t>(std::lround(clipped * 32767.0f));
    }
    written = std::fwrite(converted_.data(), sizeof(std::int16_t), count, file_);
  }
  frames_ += written / channels_;
  return written == count;
}

void WavWriter::close() {
  if (file_ == nullptr) return;
  const std::uint64_t data = frames_ * channels_ * bytes_per_sample(format_);
  const std::vector<std::uint8_t> header =
      build_wav_header(format_, channels_, sample_rate_, clamp32(data));
  if (std::fseek(file_, 0, SEEK_SET) == 0) std::fwrite(header.data(), 1, header.size(), file_);
  std::fclose(file_);
  file_ = nullptr;
}
