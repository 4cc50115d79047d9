#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

// Lock-free single-producer single-consumer byte ring between the capture
// thread (writer) and the streaming thread (reader). Positions count bytes
// ever written / consumed and never wrap; byte p lives at index p % kSize.
class AudioRing {
 public:
  static constexpr std::size_t kSize = 65536;

  // Both positions start at start_pos (0 in the program; tests pick others).
  explicit AudioRing(std::uint64_t start_pos = 0);
  AudioRing(const AudioRing&) = delete;
  AudioRing& operator=(const AudioRing&) = delete;

  // Writer: copies n <= kSize bytes at write_pos (wrapping), then publishes
  // them. Never waits for the reader; a lagging reader loses the oldest bytes.
  void write(const void* data, std::size_t n);

  // Reader: copies n <= kSize bytes starting at position pos (wrapping).
  void read(std::uint64_t pos, void* out, std::size_t n) const;

  std::uint64_t write_pos() const { return write_pos_.load(std::memory_order_acquire); }
  std::uint64_t read_pos() const { return read_pos_.load(std::memory_order_acquire); }

  // Reader: consumes or skips everything before pos.
  void set_read_pos(std::uint64_t pos) { read_pos_.store(pos, std::memory_order_release); }

 private:
  alignas(64) std::atomic<std::uint64_t> write_pos_;
  alignas(64) std::atomic<std::uint64_t> read_pos_;
  alignas(64) unsigned char buffer_[kSize];
};

// The one ring of the process, shared by the capture callback and the
// streaming thread.
AudioRing& process_audio_ring();
