#include "signal_streamer.h"

#include <chrono>

ErrorCode SignalStreamer::start() {
  if (running_) return ErrorCode::InvalidArgument;
  const ErrorCode code = encoder_.init();
  if (code != ErrorCode::Ok) return code;
  running_ = true;
  thread_ = std::thread(&SignalStreamer::run, this);
  return ErrorCode::Ok;
}

void SignalStreamer::stop() {
  running_ = false;
  if (thread_.joinable()) thread_.join();
}

void SignalStreamer::run() {
  std::vector<float> pcm(960 * 2);
  std::uint8_t packet[1500];
  AudioFrameHeader header;
  header.bitrate = ReferenceEncoder::kBitrate;
  const auto period = std::chrono::milliseconds(20);
  const auto start = std::chrono::steady_clock::now();
  for (std::uint32_t n = 0; running_; ++n) {
    // Like a capture source, the frame's last sample exists only now.
    std::this_thread::sleep_until(start + period * (n + 1));
    const std::int64_t first = static_cast<std::int64_t>(n) * 960;
    fill_signal(signal_, first, pcm.data(), 960);
    if (hook_) hook_(first, pcm.data());
    produced_.insert(produced_.end(), pcm.begin(), pcm.end());
    const int size = encoder_.encode(pcm.data(), packet, sizeof packet);
    frames_ = n + 1;
    if (size < 0) continue;
    header.sequence = n;
    header.timestamp = n * 960;
    header.flags = n % 50 == 0 ? 1 : 0;
    if (session_.send_audio_frame(header, packet, static_cast<std::size_t>(size)) ==
        ErrorCode::Ok) {
      ++sent_;
    }
  }
}
