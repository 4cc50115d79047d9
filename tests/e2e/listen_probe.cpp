// Pairs with a transmitter through its announcement (receiver role, real
// ports), decodes every audio frame with libopus and prints what it heard,
// after <seconds> or a SIGTERM:   listen_probe <seconds> <code>
//   -> FRAMES <n>  FREQ <Hz>  RMS <level>  BITRATE <bit/s>  GAPS <jumps in the
//      sequence numbers>  QUIET <ms>@<s> for each silent stretch of 100 ms or
//      more and where it began  ARRIVALS <ms>... (each frame's, wall clock)
// Runs only inside a lab host.
#include <opus/opus.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "lab_guard.h"
#include "signal_analysis.h"
#include "transport/session_transport.h"

namespace {

constexpr std::size_t kRate = 48000, kBlock = kRate / 100;

std::vector<float> part(const std::vector<float>& all, std::size_t at, std::size_t size) {
  return std::vector<float>(all.begin() + at, all.begin() + at + size);
}

}  // namespace

int main(int argc, char** argv) {
  if (!inside_lab_host() || argc != 3) {
    std::fprintf(stderr, "usage (inside a lab host): listen_probe <seconds> <code>\n");
    return 2;
  }
  sigset_t stop_signals;  // blocked before any thread starts, then awaited
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  OpusDecoder* decoder = opus_decoder_create(kRate, 2, nullptr);
  std::mutex mutex;
  std::vector<float> left;
  std::vector<long long> arrivals;
  std::uint32_t bitrate = 0, next_sequence = 0;
  int gaps = 0;

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
        std::lock_guard<std::mutex> guard(mutex);
        if (!arrivals.empty() && h.sequence != next_sequence) ++gaps;
        arrivals.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count());
        next_sequence = h.sequence + 1;
        bitrate = h.bitrate;
        for (int i = 0; i < decoded; ++i) left.push_back(pcm[2 * i]);
      });
  if (session->start() != ErrorCode::Ok) return 1;
  const timespec limit{std::atoi(argv[1]), 0};
  sigtimedwait(&stop_signals, nullptr, &limit);
  session->stop();
  opus_decoder_destroy(decoder);

  std::lock_guard<std::mutex> guard(mutex);
  // Past the codec's start-up, over the seconds that are not silent (a
  // device that took its time to deliver): the level of all, the median of
  // their frequencies (a second with a change of device in it may be off).
  std::vector<float> settled;
  std::vector<double> frequencies;
  for (std::size_t at = kRate / 2; at + kRate <= left.size(); at += kRate) {
    const std::vector<float> second = part(left, at, kRate);
    if (test::rms(second) < 0.05) continue;
    settled.insert(settled.end(), second.begin(), second.end());
    frequencies.push_back(test::zero_crossing_frequency(second, kRate));
  }
  std::sort(frequencies.begin(), frequencies.end());
  std::printf("FRAMES %zu\nFREQ %.2f\nRMS %.4f\nBITRATE %u\nGAPS %d\nQUIET", arrivals.size(),
              frequencies.empty() ? 0.0 : frequencies[frequencies.size() / 2], test::rms(settled),
              bitrate, gaps);
  // Silent stretches (10 ms blocks under 0.05 rms), past the codec's start.
  std::size_t run = 0;
  for (std::size_t at = kRate / 2; at + kBlock <= left.size(); at += kBlock) {
    const bool quiet = test::rms(part(left, at, kBlock)) < 0.05;
    if (!quiet && run >= 10)
      std::printf(" %zu@%.1f", run * 10, (at - run * kBlock) / double(kRate));
    run = quiet ? run + 1 : 0;
  }
  if (run >= 10) std::printf(" %zu@end", run * 10);
  std::printf("\nARRIVALS");
  for (long long ms : arrivals) std::printf(" %lld", ms);
  std::printf("\n");
  return 0;
}
