#pragma once

#include <cstdint>
#include <memory>

#include "app/error_code.h"

// The device's shared-mode format as the platform reports it.
struct MixFormat {
  bool is_float = false;  // 32-bit IEEE float samples
  int sample_rate = 0;
  int channels = 0;
};

// One borrowed block of captured audio; valid until release.
struct EndpointPacket {
  const float* data = nullptr;  // interleaved, frames x channels floats
  std::uint32_t frames = 0;
  bool silent = false;  // the data is to be taken as zeros
};

// The platform's loopback source of the default output: WASAPI on Windows,
// the PulseAudio monitor on Linux, scripted packets in tests. Opening happens
// on the creating thread; everything from start to stop on the capture thread.
class AudioEndpoint {
 public:
  virtual ~AudioEndpoint() = default;

  // Finds the default output and reads its mix format: Ok, NoAudioDevice when
  // there is no device (or no way to ask), CaptureFailed when it cannot be used.
  virtual ErrorCode open_device() = 0;
  // The mix format learned by open_device.
  virtual MixFormat mix_format() const = 0;
  // Sets up the capture stream in that format: Ok or CaptureFailed.
  virtual ErrorCode initialize() = 0;

  // Capture-thread set-up and tear-down (COM apartment on Windows).
  virtual void enter_thread() {}
  virtual void leave_thread() {}
  // Begin and end the stream; results ignored.
  virtual void start() = 0;
  virtual void stop() = 0;

  // Writes the frames of the next packet to *frames (0 = none waiting); on
  // failure leaves *frames as it was.
  virtual void next_packet_size(std::uint32_t* frames) = 0;
  // Borrows the next packet; false when it cannot (the draining pass ends).
  virtual bool borrow(EndpointPacket* packet) = 0;
  // Gives the borrowed packet back.
  virtual void release(std::uint32_t frames) = 0;
};

// The platform's endpoint (WASAPI or PulseAudio), not yet opened.
std::unique_ptr<AudioEndpoint> make_system_audio_endpoint();
