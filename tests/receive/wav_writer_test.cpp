#include <gtest/gtest.h>

#include <string>

#include "support/test_support.h"
#include "wav_reader.h"
#include "wav_writer.h"

namespace {

std::string bytes_of(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

}  // namespace

TEST(WavHeader, Pcm16BytesAreTheCanonical44) {
  const std::vector<std::uint8_t> header = build_wav_header(WavSampleFormat::Pcm16, 2, 48000, 3840);
  const std::uint8_t expected[44] = {
      'R',  'I',  'F',  'F', 0x24, 0x0F, 0, 0, 'W', 'A', 'V', 'E',  // 36 + 3840
      'f',  'm',  't',  ' ', 16,   0,    0, 0, 1,   0,   2,   0,    // PCM, 2 channels
      0x80, 0xBB, 0,    0,                                          // 48000 Hz
      0x00, 0xEE, 0x02, 0,                                          // 192000 bytes/s
      4,    0,    16,   0,                                          // block 4, 16 bits
      'd',  'a',  't',  'a', 0x00, 0x0F, 0, 0};
  ASSERT_EQ(header.size(), 44u);
  EXPECT_EQ(bytes_of(header), std::string(expected, expected + 44));
}

TEST(WavHeader, FloatHasExtendedFmtAndFactChunk) {
  const std::vector<std::uint8_t> h = build_wav_header(WavSampleFormat::Float32, 2, 48000, 800);
  ASSERT_EQ(h.size(), 58u);
  EXPECT_EQ(bytes_of(h).substr(0, 4), "RIFF");
  EXPECT_EQ(h[4] | (h[5] << 8), 50 + 800);
  EXPECT_EQ(h[16], 18);  // fmt size with cbSize
  EXPECT_EQ(h[20], 3);   // WAVE_FORMAT_IEEE_FLOAT
  EXPECT_EQ(h[28] | (h[29] << 8) | (h[30] << 16), 384000);
  EXPECT_EQ(h[32], 8);   // block align
  EXPECT_EQ(h[34], 32);  // bits
  EXPECT_EQ(bytes_of(h).substr(38, 4), "fact");
  EXPECT_EQ(h[46] | (h[47] << 8), 100);  // sample frames
  EXPECT_EQ(bytes_of(h).substr(50, 4), "data");
  EXPECT_EQ(h[54] | (h[55] << 8), 800);
}

TEST(WavWriter, FinalisesSizesAndRoundTrips) {
  test::TempDir dir;
  for (WavSampleFormat format : {WavSampleFormat::Float32, WavSampleFormat::Pcm16}) {
    const std::string path = dir.path() + "/out.wav";
    {
      WavWriter wav;
      ASSERT_TRUE(wav.open(path, format, 2, 48000));
      const float samples[6] = {0.5f, -0.5f, 2.0f, -2.0f, 0.25f, 0.0f};
      ASSERT_TRUE(wav.write(samples, 3));
      EXPECT_EQ(wav.frames_written(), 3u);
    }  // the destructor finalises
    const std::string bytes = test::read_file_bytes(path).value_or("");
    const std::size_t header = format == WavSampleFormat::Float32 ? 58 : 44;
    const std::size_t data = format == WavSampleFormat::Float32 ? 24 : 12;
    ASSERT_EQ(bytes.size(), header + data);
    EXPECT_EQ(bytes_of(build_wav_header(format, 2, 48000, static_cast<std::uint32_t>(data))),
              bytes.substr(0, header));
    auto read = read_wav(path);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->first_channel.size(), 3u);
    EXPECT_NEAR(read->first_channel[0], 0.5, 1e-4);
    // Out of range: clipped in 16 bits, kept in float.
    EXPECT_NEAR(read->first_channel[1], format == WavSampleFormat::Float32 ? 2.0 : 1.0, 1e-4);
  }
}
