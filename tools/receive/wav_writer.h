#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum class WavSampleFormat { Float32, Pcm16 };

// The RIFF/WAVE header for data_bytes of audio: 44 bytes for 16-bit PCM; 58
// for IEEE float, whose fmt chunk carries cbSize and is followed by a fact
// chunk, as the format asks of non-PCM data.
std::vector<std::uint8_t> build_wav_header(WavSampleFormat format, int channels, int sample_rate,
                                           std::uint32_t data_bytes);

// Writes interleaved float samples to a WAV file; the header's sizes are put
// right when the file is closed (or destroyed).
class WavWriter {
 public:
  WavWriter() = default;
  ~WavWriter() { close(); }
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Creates the file with a provisional header; false when it cannot.
  bool open(const std::string& path, WavSampleFormat format, int channels, int sample_rate);
  // Appends frames of interleaved samples (16-bit: clipped and rounded).
  bool write(const float* samples, int frames);
  // Writes the final header and closes. Idempotent.
  void close();
  std::uint64_t frames_written() const { return frames_; }

 private:
  std::FILE* file_ = nullptr;
  WavSampleFormat format_ = WavSampleFormat::Float32;
  int channels_ = 2;
  int sample_rate_ = 48000;
  std::uint64_t frames_ = 0;
  std::vector<std::int16_t> converted_;
};
