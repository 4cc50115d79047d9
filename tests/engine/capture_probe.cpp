// Captures the default output through the real platform endpoint, converts
// it to 48 kHz stereo as the engine does, and waits until the last second of
// both channels holds the tone at its level. Used by the real-device tests.
//
//   tovik_capture_probe HZ MIN-RMS MAX-RMS DEVICE-RATE DEVICE-CHANNELS TIMEOUT-S
//
// Exit 0 when everything matches.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "engine/capture_converter.h"
#include "engine/loopback_capture.h"
#include "signal_analysis.h"

// Whether the last second of 48 kHz stereo holds the tone on both channels.
static bool judge(const std::vector<float>& all, char** argv) {
  const std::vector<float> second(all.end() - 96000, all.end());
  bool ok = true;
  for (int channel = 0; channel < 2; ++channel) {
    const auto samples = test::channel_of(second, 2, channel);
    const double rms = test::rms(samples), hz = test::zero_crossing_frequency(samples, 48000);
    std::printf("probe: channel %d: rms %.4f, frequency %.2f Hz\n", channel, rms, hz);
    ok = ok && rms >= std::atof(argv[2]) && rms <= std::atof(argv[3]) &&
         std::fabs(hz - std::atof(argv[1])) < 2.0;
  }
  return ok;
}

int main(int argc, char** argv) {
  auto created = LoopbackCapture::create();
  if (argc != 7 || created.code != ErrorCode::Ok) return 2;
  LoopbackCapture& capture = *created.object;
  std::printf("probe: device %d Hz, %d channels\n", capture.sample_rate(), capture.channels());
  if (capture.sample_rate() != std::atoi(argv[4]) || capture.channels() != std::atoi(argv[5])) {
    return 3;
  }
  auto ring = std::make_unique<AudioRing>();
  CaptureConverter converter(*ring, capture.sample_rate(), capture.channels());
  capture.start([&converter](const float* data, std::size_t frames, int rate, int channels) {
    converter.on_audio_captured(data, frames, rate, channels);
  });
  std::vector<float> all;
  bool ok = false;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(std::atof(argv[6]));
  for (std::size_t judged = 0; !ok && std::chrono::steady_clock::now() < deadline;) {
    // The ring holds 170 ms: drained often, judged every quarter second.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::uint64_t end = ring->write_pos(),
                        from = std::max(ring->read_pos(),
                                        end - std::min<std::uint64_t>(end, AudioRing::kSize));
    all.resize(all.size() + (end - from) / sizeof(float));
    ring->read(from, all.data() + all.size() - (end - from) / sizeof(float), end - from);
    ring->set_read_pos(end);
    if (all.size() >= std::max<std::size_t>(96000, judged + 24000)) {
      judged = all.size();
      ok = judge(all, argv);
    }
  }
  capture.stop();
  std::printf("probe: %s\n", ok ? "ok" : "MISMATCH or no tone");
  return ok ? 0 : 1;
}
