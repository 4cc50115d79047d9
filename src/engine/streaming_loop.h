#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/audio_ring.h"
#include "engine/frame_encoder.h"
#include "engine/frame_sink.h"

// Frame number and sample position of the next audio frame. They belong to
// the streaming thread, start at 0 with the engine and are never reset.
struct StreamCounters {
  std::uint32_t sequence = 0;
  std::uint32_t timestamp = 0;
};

// Frame geometry of the pipeline: always 48 kHz stereo floats in the ring.
struct FrameGeometry {
  std::size_t frame_samples;       // per channel (960)
  std::size_t frame_floats;        // 2 x frame_samples
  std::size_t frame_bytes;         // 4 x frame_floats (7680)
  std::size_t catch_up_threshold;  // 4 frames (30720)
  std::size_t catch_up_target;     // 2 frames (15360)

  static FrameGeometry for_samples(std::size_t frame_samples);
};

// What one pass of the loop did.
enum class PassResult { NotConnected, Starved, EncodeFailed, Sent };

// The frame pipeline: takes whole 20 ms frames out of the ring, encodes them,
// numbers them and hands them to the sink while it is Connected. It runs on
// the capture thread, right after each captured packet, so a frame leaves as
// soon as its last sample has arrived and nothing ever waits for audio. Its
// two buffers are allocated once; a pass allocates nothing after the first.
class StreamingLoop {
 public:
  StreamingLoop(AudioRing& ring, FrameEncoder& encoder, FrameSink& sink);

  // One pass: discard when not Connected, cut a backlog, take one frame.
  PassResult run_pass(StreamCounters& counters);

  // Passes until less than a whole frame is left (or nothing is wanted).
  // Catches everything: a failure loses the frame, never the capture thread.
  void pump(StreamCounters& counters);

  const FrameGeometry& geometry() const { return geometry_; }

 private:
  void send_frame(StreamCounters& counters);

  AudioRing& ring_;
  FrameEncoder& encoder_;
  FrameSink& sink_;
  FrameGeometry geometry_;
  std::vector<float> frame_;
  std::vector<std::uint8_t> packet_;
};
