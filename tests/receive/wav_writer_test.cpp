#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "support/test_support.h"
#include "wav_writer.h"

// Whole files, byte for byte: what players and editors rely on.
TEST(WavWriter, WritesCanonicalPcm16AndExtensibleFloatFiles) {
  test::TempDir dir;
  const struct {
    WavSampleFormat format;
    std::string hex;
  } cases[] = {
      {WavSampleFormat::Pcm16,
       "52494646 30000000 57415645 666d7420 10000000 0100 0200 "  // 36 + data; PCM, stereo
       "80bb0000 00ee0200 0400 1000 64617461 0c000000 "  // 48000 Hz, 192000 B/s, 4, 16 bits; 12
       "0040 00c0 ff7f 0180 0020 0000"},                 // clipped to 16 bits
      {WavSampleFormat::Float32,
       "52494646 4a000000 57415645 666d7420 12000000 0300 0200 "       // 50 + data; IEEE float
       "80bb0000 00dc0500 0800 2000 0000 66616374 04000000 03000000 "  // cbSize 0; fact: 3 frames
       "64617461 18000000 0000003f 000000bf 00000040 000000c0 0000803e 00000000"},
  };
  for (auto c : cases) {
    const std::string path = dir.path() + "/out.wav";
    {
      WavWriter wav;
      ASSERT_TRUE(wav.open(path, c.format, 2, 48000));
      const float samples[6] = {0.5f, -0.5f, 2.0f, -2.0f, 0.25f, 0.0f};
      ASSERT_TRUE(wav.write(samples, 3));
      EXPECT_EQ(wav.frames_written(), 3u);
    }  // the destructor finalises the sizes
    std::string hex;
    char byte[3];
    for (unsigned char b : test::read_file_bytes(path).value_or("")) {
      std::snprintf(byte, sizeof byte, "%02x", b);
      hex += byte;
    }
    c.hex.erase(std::remove(c.hex.begin(), c.hex.end(), ' '), c.hex.end());
    EXPECT_EQ(hex, c.hex);
  }
}
