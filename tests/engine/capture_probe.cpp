// Captures the default output through the real platform endpoint, converts
// it to 48 kHz stereo as the engine does, waits for a tone and checks its
// frequency and level. Used by the real-device test scripts.
//
//   tovik_capture_probe --expect-freq HZ --min-rms X --max-rms Y
//                       [--expect-rate HZ] [--expect-channels N] [--timeout S]
//
// Exit 0 when everything matches.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/audio_endpoint.h"
#include "engine/capture_converter.h"
#include "engine/loopback_capture.h"
#include "signal_analysis.h"

namespace {

struct Options {
  double expect_freq = 440.0;
  double min_rms = 0.0;
  double max_rms = 1.0;
  int expect_rate = 0;
  int expect_channels = 0;
  double timeout_s = 20.0;
};

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* next = i + 1 < argc ? argv[i + 1] : "0";
    if (arg == "--expect-freq") o.expect_freq = std::atof(next);
    if (arg == "--min-rms") o.min_rms = std::atof(next);
    if (arg == "--max-rms") o.max_rms = std::atof(next);
    if (arg == "--expect-rate") o.expect_rate = std::atoi(next);
    if (arg == "--expect-channels") o.expect_channels = std::atoi(next);
    if (arg == "--timeout") o.timeout_s = std::atof(next);
    ++i;
  }
  return o;
}

// Moves everything new out of the ring into out.
void drain(AudioRing& ring, std::vector<float>& out) {
  const std::uint64_t end = ring.write_pos();
  std::uint64_t pos = ring.read_pos();
  if (end - pos > AudioRing::kSize) pos = end - AudioRing::kSize;
  const std::size_t old = out.size();
  out.resize(old + static_cast<std::size_t>(end - pos) / sizeof(float));
  ring.read(pos, out.data() + old, static_cast<std::size_t>(end - pos));
  ring.set_read_pos(end);
}

// Collects one second of 48 kHz stereo once the tone has arrived, or nothing.
std::vector<float> record_tone(AudioRing& ring, const Options& o) {
  std::vector<float> all;
  std::size_t onset = 0;
  bool heard = false;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(o.timeout_s);
  while (std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    drain(ring, all);
    // Onset: the first 50 ms block loud enough, then 200 ms to settle.
    for (; !heard && onset + 4800 <= all.size(); onset += 4800) {
      std::vector<float> block(all.begin() + onset, all.begin() + onset + 4800);
      heard = test::rms(block) > o.min_rms / 2;
    }
    const std::size_t start = onset + 2 * 9600;
    if (heard && all.size() >= start + 2 * 48000) {
      return std::vector<float>(all.begin() + start, all.begin() + start + 2 * 48000);
    }
  }
  std::printf("probe: no tone within %.0f s (%zu samples captured)\n", o.timeout_s, all.size());
  return {};
}

bool judge(const std::vector<float>& second, const Options& o) {
  bool ok = true;
  for (int channel = 0; channel < 2; ++channel) {
    const auto samples = test::channel_of(second, 2, channel);
    const double rms = test::rms(samples);
    const double freq = test::zero_crossing_frequency(samples, 48000);
    std::printf("probe: channel %d: rms %.4f, frequency %.2f Hz\n", channel, rms, freq);
    ok = ok && rms >= o.min_rms && rms <= o.max_rms && std::fabs(freq - o.expect_freq) < 2.0;
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = parse(argc, argv);
  auto created = LoopbackCapture::create(make_system_audio_endpoint());
  if (created.code != ErrorCode::Ok) {
    std::printf("probe: create failed with code %d\n", static_cast<int>(created.code));
    return 2;
  }
  LoopbackCapture& capture = *created.object;
  std::printf("probe: device %d Hz, %d channels\n", capture.sample_rate(), capture.channels());
  if (options.expect_rate != 0 && capture.sample_rate() != options.expect_rate) return 3;
  if (options.expect_channels != 0 && capture.channels() != options.expect_channels) return 3;
  auto ring = std::make_unique<AudioRing>();
  CaptureConverter converter(*ring, capture.sample_rate(), capture.channels());
  capture.start([&converter](const float* data, std::size_t frames, int rate, int channels) {
    converter.on_audio_captured(data, frames, rate, channels);
  });
  const std::vector<float> second = record_tone(*ring, options);
  capture.stop();
  if (second.empty()) return 4;
  const bool ok = judge(second, options);
  std::printf("probe: %s\n", ok ? "ok" : "MISMATCH");
  return ok ? 0 : 1;
}
