#pragma once

#include <cstdint>
#include <memory>
#include <string>

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
// the PulseAudio monitor on Linux, scripted packets in tests. The first
// opening happens on the creating thread; everything from start on, reopening
// included, on the capture thread. wake() may come from any thread.
class AudioEndpoint {
 public:
  virtual ~AudioEndpoint() = default;

  // Finds the current default output and reads its mix format: Ok,
  // NoAudioDevice when there is none (or no way to ask), CaptureFailed when it
  // cannot be used.
  virtual ErrorCode open_device() = 0;
  // The mix format learned by open_device.
  virtual MixFormat mix_format() const = 0;
  // Sets up the capture stream in that format: Ok or CaptureFailed.
  virtual ErrorCode initialize() = 0;
  // Lets go of the stream and the device, so that open_device finds the
  // default anew. The watch for device changes goes on.
  virtual void close_device() = 0;
  // What the device is called, for the debug log.
  virtual std::string device_name() const = 0;

  // Capture-thread set-up and tear-down (COM apartment on Windows).
  virtual void enter_thread() {}
  virtual void leave_thread() {}
  // Begin and end the stream; results ignored.
  virtual void start() = 0;
  virtual void stop() = 0;

  // Blocks until the device signals audio, a device change is noticed, wake()
  // is called or timeout_ms passes (-1: no time-out). True when the device
  // signalled. A device that never signals (WASAPI loopback before Windows 10
  // 1703, or in silence) only ever times out.
  virtual bool wait(int timeout_ms) = 0;
  // Ends the current or the next wait early.
  virtual void wake() = 0;
  // True once after the default output changed or the open device was lost.
  virtual bool take_device_change() = 0;

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
