// The receiver's end of the real-path benchmark, without a receiver's
// buffering: pairs with a transmitter through its announcement (our receiver
// role, real ports), decodes every frame as it arrives and, for each click,
// prints "FRAME <arrival ns> <index>": when the frame that holds the click's
// decoded onset arrived (monotonic clock), and the onset's place in it. Runs
// only inside a lab host.
//   tovik-frame-onsets <seconds> <code>
#include <opus/opus.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "lab_guard.h"
#include "transport/session_transport.h"

namespace {

constexpr int kFrame = 960;
constexpr int kQuietSamples = 2400;  // 50 ms

}  // namespace

int main(int argc, char** argv) {
  if (!inside_lab_host() || argc != 3) {
    std::fprintf(stderr, "usage (inside a lab host): tovik-frame-onsets <seconds> <code>\n");
    return 2;
  }
  int error = 0;
  OpusDecoder* decoder = opus_decoder_create(48000, 2, &error);
  std::mutex mutex;
  std::vector<std::pair<std::int64_t, int>> onsets;
  int quiet = 0;
  bool armed = false;  // after 50 ms of quiet: the next loud sample is a click
  TransportConfig config;
  config.device_name = "Bench Listener";
  config.device_id = "rx-bench-frames";
  config.is_transmitter = false;
  auto session = std::move(SessionTransport::create(config).object);
  session->set_code_to_present(argv[2]);
  session->set_frame_callback(
      [&](const AudioFrameHeader&, const unsigned char* payload, std::size_t size) {
        const std::int64_t arrived = system_steady_clock().now_ns();
        float pcm[kFrame * 2];
        const int n =
            opus_decode_float(decoder, payload, static_cast<opus_int32>(size), pcm, kFrame, 0);
        std::lock_guard<std::mutex> guard(mutex);
        for (int k = 0; k < n; ++k) {
          const float level = std::fabs(pcm[2 * k]);
          if (armed && level > 0.3f) {
            onsets.emplace_back(arrived, k);
            armed = false;
          }
          quiet = level < 0.05f ? quiet + 1 : 0;
          if (quiet >= kQuietSamples) armed = true;
        }
      });
  if (session->start() != ErrorCode::Ok) return 1;
  std::this_thread::sleep_for(std::chrono::seconds(std::atoi(argv[1])));
  session->stop();
  opus_decoder_destroy(decoder);
  std::lock_guard<std::mutex> guard(mutex);
  for (const auto& [arrived, index] : onsets) {
    std::printf("FRAME %lld %d\n", static_cast<long long>(arrived), index);
  }
  return 0;
}
