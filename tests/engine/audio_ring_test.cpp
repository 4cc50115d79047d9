#include "engine/audio_ring.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <numeric>
#include <vector>

#include "engine/audio_capture_callback.h"

namespace {

std::vector<std::uint8_t> counting_bytes(std::size_t n, std::uint8_t first = 1) {
  std::vector<std::uint8_t> bytes(n);
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

// Reads raw ring storage by index by reading from a position with that index.
std::vector<std::uint8_t> at_index(const AudioRing& ring, std::size_t index, std::size_t n) {
  std::vector<std::uint8_t> out(n);
  ring.read(index, out.data(), n);
  return out;
}

}  // namespace

TEST(AudioRing, WriteAcrossTheEndWrapsToTheStart) {
  auto ring = std::make_unique<AudioRing>(60000);
  const auto data = counting_bytes(7680);
  ring->write(data.data(), data.size());

  EXPECT_EQ(ring->write_pos(), 60000u + 7680u);
  EXPECT_EQ(ring->read_pos(), 60000u);
  const auto tail = at_index(*ring, 60000, 5536);
  const auto head = at_index(*ring, 0, 2144);
  EXPECT_EQ(tail, std::vector<std::uint8_t>(data.begin(), data.begin() + 5536));
  EXPECT_EQ(head, std::vector<std::uint8_t>(data.begin() + 5536, data.end()));

  std::vector<std::uint8_t> back(7680);
  ring->read(60000, back.data(), back.size());
  EXPECT_EQ(back, data);
}

TEST(AudioRing, PositionsNeverWrapAndOldBytesAreOverwritten) {
  auto ring = std::make_unique<AudioRing>();
  const auto first = counting_bytes(40000, 1);
  const auto second = counting_bytes(40000, 7);
  ring->write(first.data(), first.size());
  ring->write(second.data(), second.size());
  EXPECT_EQ(ring->write_pos(), 80000u);
  std::vector<std::uint8_t> back(40000);
  ring->read(40000, back.data(), back.size());
  EXPECT_EQ(back, second);
  ring->set_read_pos(80000);
  EXPECT_EQ(ring->read_pos(), 80000u);
}

TEST(AudioRing, EmptyCopiesTouchNothing) {
  auto ring = std::make_unique<AudioRing>(5);
  ring->write(nullptr, 0);
  ring->read(5, nullptr, 0);
  EXPECT_EQ(ring->write_pos(), 5u);
}

TEST(CaptureCallback, PacketsUpTo32768BytesAreWrittenLargerOnesDropped) {
  auto ring = std::make_unique<AudioRing>();
  std::vector<float> samples(2 * 4097, 0.5f);
  on_audio_captured(*ring, samples.data(), 4096, 48000, 2);
  EXPECT_EQ(ring->write_pos(), 32768u);
  on_audio_captured(*ring, samples.data(), 4097, 48000, 2);
  EXPECT_EQ(ring->write_pos(), 32768u);
  float back[2] = {0, 0};
  ring->read(32760, back, sizeof back);
  EXPECT_EQ(back[0], 0.5f);
  EXPECT_EQ(back[1], 0.5f);
}

TEST(CaptureCallback, EmptyPacketsWriteNothing) {
  auto ring = std::make_unique<AudioRing>();
  std::vector<float> samples(16, 1.0f);
  on_audio_captured(*ring, nullptr, 4, 48000, 2);
  on_audio_captured(*ring, samples.data(), 0, 48000, 2);
  on_audio_captured(*ring, samples.data(), 4, 48000, 0);
  on_audio_captured(*ring, samples.data(), UINT64_MAX, 48000, 2);
  EXPECT_EQ(ring->write_pos(), 0u);
  // The rate is not looked at and samples are not converted.
  on_audio_captured(*ring, samples.data(), 4, 44100, 1);
  EXPECT_EQ(ring->write_pos(), 16u);
}
