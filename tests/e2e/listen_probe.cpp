// Pairs with a transmitter through its announcement (receiver role, real
// ports), decodes every audio frame with libopus and prints what it heard:
//   listen_probe <seconds> <code> [arrivals]
//   -> FRAMES <n>  FPS <frames per second>  FREQ <Hz>  RMS <level>  BITRATE <bit/s>
//      and with "arrivals": ARRIVALS <ms>... (each frame's on the monotonic clock)
// Runs only inside a lab host.
#include <opus/opus.h>

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
  // Past the codec's start-up.
  std::vector<float> settled(left.size() > kRate / 2 ? left.begin() + kRate / 2 : left.end(),
                             left.end());
  std::printf("FRAMES %d\nFPS %.1f\nFREQ %.2f\nRMS %.4f\nBITRATE %u\n", frames.load(),
              frames > 0 ? frames / span : 0.0, test::zero_crossing_frequency(settled, kRate),
              test::rms(settled), bitrate.load());
  if (argc == 3) return 0;
  std::printf("ARRIVALS");
  for (long long ms : arrivals) std::printf(" %lld", ms);
  std::printf("\n");
  return 0;
}
