// Pairs with a transmitter through its announcement (receiver role, real
// ports), decodes every audio frame with libopus and prints what it heard:
//   listen_probe <seconds> <code> [arrivals]
//   -> FRAMES <n>  FPS <frames per second>  FREQ <Hz>  RMS <level>  BITRATE <bit/s>
//      GAPS <jumps in the sequence numbers>
//      QUIET <ms>@<s> for each silent stretch of 100 ms or more and where it began
//      and with "arrivals": ARRIVALS <ms>... (each frame's on the monotonic clock)
// Runs only inside a lab host.
#include <opus/opus.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "lab_guard.h"
#include "signal_analysis.h"
#include "transport/session_transport.h"

namespace {

constexpr int kRate = 48000;

}  // namespace

int main(int argc, char** argv) {
  if (!inside_lab_host()) {
    std::fprintf(stderr, "refusing to run outside a network lab host\n");
    return 2;
  }
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: listen_probe <seconds> <code>\n");
    return 2;
  }
  int error = 0;
  OpusDecoder* decoder = opus_decoder_create(kRate, 2, &error);
  std::mutex mutex;
  std::vector<float> left;
  std::vector<long long> arrivals;
  std::atomic<int> frames{0};
  std::atomic<std::uint32_t> bitrate{0};
  int gaps = 0;
  std::uint32_t next_sequence = 0;
  std::chrono::steady_clock::time_point first_frame;

  TransportConfig config;
  config.device_name = "Lab Listener";
  config.device_id = "rx-listener";
  config.is_transmitter = false;
  auto session = std::move(SessionTransport::create(config).object);
  session->set_code_to_present(argv[2]);
  session->set_frame_callback(
      [&](const AudioFrameHeader& h, const unsigned char* p, std::size_t n) {
        float pcm[960 * 2];
        const int decoded = opus_decode_float(decoder, p, static_cast<opus_int32>(n), pcm, 960, 0);
        if (decoded <= 0) return;
        std::lock_guard<std::mutex> guard(mutex);
        const auto now = std::chrono::steady_clock::now();
        if (frames++ == 0) first_frame = now;
        arrivals.push_back(
            std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count());
        if (frames > 1 && h.sequence != next_sequence) ++gaps;
        next_sequence = h.sequence + 1;
        bitrate = h.bitrate;
        for (int i = 0; i < decoded; ++i) left.push_back(pcm[2 * i]);
      });
  if (session->start() != ErrorCode::Ok) return 1;
  std::this_thread::sleep_for(std::chrono::seconds(std::atoi(argv[1])));
  session->stop();
  opus_decoder_destroy(decoder);

  std::lock_guard<std::mutex> guard(mutex);
  const double span =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - first_frame).count();
  // Past the codec's start-up, over the seconds that are not silent (a
  // device that took its time to deliver): the level of all, the median of
  // their frequencies (a second with a change of device in it may be off).
  std::vector<float> settled;
  std::vector<double> frequencies;
  for (std::size_t at = kRate / 2; at + kRate <= left.size(); at += kRate) {
    const std::vector<float> second(left.begin() + at, left.begin() + at + kRate);
    if (test::rms(second) < 0.05) continue;
    settled.insert(settled.end(), second.begin(), second.end());
    frequencies.push_back(test::zero_crossing_frequency(second, kRate));
  }
  std::sort(frequencies.begin(), frequencies.end());
  std::printf("FRAMES %d\nFPS %.1f\nFREQ %.2f\nRMS %.4f\nBITRATE %u\nGAPS %d\nQUIET", frames.load(),
              frames > 0 ? frames / span : 0.0,
              frequencies.empty() ? 0.0 : frequencies[frequencies.size() / 2], test::rms(settled),
              bitrate.load(), gaps);
  // Silent stretches (10 ms blocks under 0.05 rms), past the codec's start.
  constexpr std::size_t kBlock = kRate / 100;
  int run = 0;
  for (std::size_t at = kRate / 2; at + kBlock <= left.size(); at += kBlock) {
    if (test::rms(std::vector<float>(left.begin() + at, left.begin() + at + kBlock)) < 0.05) {
      ++run;
      continue;
    }
    if (run >= 10) std::printf(" %d@%.1f", run * 10, (at - run * kBlock) / double(kRate));
    run = 0;
  }
  if (run >= 10) std::printf(" %d@end", run * 10);
  std::printf("\n");
  if (argc == 3) return 0;
  std::printf("ARRIVALS");
  for (long long ms : arrivals) std::printf(" %lld", ms);
  std::printf("\n");
  return 0;
}
