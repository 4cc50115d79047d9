#include "engine/streaming_loop.h"

namespace {

constexpr std::uint32_t kKeyFrameInterval = 50;  // flags = 1 every 50th frame

}  // namespace

FrameGeometry FrameGeometry::for_samples(std::size_t frame_samples) {
  const std::size_t floats = 2 * frame_samples;  // the ring always holds stereo
  const std::size_t bytes = floats * sizeof(float);
  return {frame_samples, floats, bytes, 4 * bytes, 2 * bytes};
}

StreamingLoop::StreamingLoop(AudioRing& ring, FrameEncoder& encoder, FrameSink& sink)
    : ring_(ring),
      encoder_(encoder),
      sink_(sink),
      geometry_(FrameGeometry::for_samples(static_cast<std::size_t>(encoder.frame_samples()))),
      frame_(geometry_.frame_floats, 0.0f) {}

PassResult StreamingLoop::run_pass(StreamCounters& counters) {
  if (sink_.state() != tovik::ConnectionState::Connected) {
    ring_.set_read_pos(ring_.write_pos());
    return PassResult::NotConnected;
  }
  const std::uint64_t write_pos = ring_.write_pos();
  std::uint64_t read_pos = ring_.read_pos();
  std::uint64_t avail = write_pos - read_pos;
  if (avail > geometry_.catch_up_threshold) {
    read_pos = write_pos - geometry_.catch_up_target;
    ring_.set_read_pos(read_pos);
    avail = geometry_.catch_up_target;
  }
  if (avail < geometry_.frame_bytes) return PassResult::Starved;
  ring_.read(read_pos, frame_.data(), geometry_.frame_bytes);
  ring_.set_read_pos(read_pos + geometry_.frame_bytes);
  packet_.clear();
  if (encoder_.encode(frame_.data(), static_cast<std::int32_t>(geometry_.frame_samples), packet_,
                      nullptr) != ErrorCode::Ok) {
    return PassResult::EncodeFailed;
  }
  send_frame(counters);
  return PassResult::Sent;
}

void StreamingLoop::send_frame(StreamCounters& counters) {
  AudioFrameHeader header;
  header.version = 1;
  header.flags = counters.sequence % kKeyFrameInterval == 0 ? 1 : 0;
  header.sequence = counters.sequence++;
  header.timestamp = counters.timestamp;
  counters.timestamp += static_cast<std::uint32_t>(geometry_.frame_samples);
  header.bitrate = static_cast<std::uint32_t>(encoder_.bitrate());
  header.payload_size = static_cast<std::uint16_t>(packet_.size());
  // A frame that cannot be sent is lost; its numbers stay used.
  (void)sink_.send_audio_frame(header, packet_.data(), packet_.size());
}

void StreamingLoop::pump(StreamCounters& counters) {
  try {
    for (;;) {
      const PassResult result = run_pass(counters);
      if (result == PassResult::NotConnected || result == PassResult::Starved) return;
    }
  } catch (...) {
    // The frame is lost; the capture goes on.
  }
}
