#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/audio_ring.h"
#include "engine/channel_layout.h"

struct SpeexResamplerState_;

// The capture callback in front of the ring: brings the device's format to
// the pipeline's 48 kHz stereo (down-mix or duplicate channels, then resample)
// on the way in. 48 kHz stereo passes straight through. A packet of any size
// converts (10 ms at 192 kHz with 8 channels is 61,440 bytes); it enters the
// ring in pieces of at most kMaxRingWriteBytes. Everything is allocated in
// the constructor; the callback itself neither allocates nor locks.
class CaptureConverter {
 public:
  static constexpr int kRingRate = 48000;
  static constexpr int kResamplerQuality = 5;
  // The formats that convert: every rate and channel count a sound device
  // reports in practice, with room to spare.
  static constexpr int kMinRate = 1000;
  static constexpr int kMaxRate = 768000;
  static constexpr int kMaxChannels = 64;
  // The most that one write puts into the ring (half of it).
  static constexpr std::size_t kMaxRingWriteBytes = 32768;

  // Whether packets of this format can be converted; one that cannot is
  // named in debug.log, so that the engine refuses it instead of sending
  // silence.
  static bool check_format(int device_rate, int device_channels);

  // Prepares for packets of device_rate Hz with device_channels channels.
  CaptureConverter(AudioRing& ring, int device_rate, int device_channels);
  ~CaptureConverter();
  CaptureConverter(const CaptureConverter&) = delete;
  CaptureConverter& operator=(const CaptureConverter&) = delete;

  // False when the format cannot be converted (then every packet is dropped).
  bool ready() const { return ready_; }
  bool passthrough() const { return passthrough_; }

  // Capture callback. Packets in another format than the one prepared for
  // are dropped whole.
  void on_audio_captured(const float* data, std::uint64_t frames, int sample_rate, int channels);

 private:
  void convert_chunk(const float* data, std::size_t frames);
  void down_mix(const float* data, std::size_t frames);
  void resample_into_ring(const float* stereo, std::size_t frames);

  AudioRing& ring_;
  int rate_;
  int channels_;
  bool ready_ = false;
  bool passthrough_ = false;
  std::size_t chunk_frames_ = 0;
  std::size_t out_capacity_ = 0;
  std::vector<StereoGains> gains_;
  std::vector<float> stereo_;
  std::vector<float> resampled_;
  SpeexResamplerState_* resampler_ = nullptr;
};
