// Times clicks in a raw float32 48 kHz stereo stream read from stdin, on the
// monotonic clock, so that two streams of the same clicks can be compared:
//   tovik-click-onsets --captured   a recorder's stream (parec): a block's
//                                   last sample was rendered as it arrived
//   tovik-click-onsets --paced      a stream written as it plays
//                                   (tovik-receive --out -): a block's first
//                                   sample plays as it arrives
// prints "ONSET <ns>" per click at the end of the stream. The stream's start
// is taken from the block that came with the least delay, so a late read
// does not move the clicks.
//   tovik-click-onsets --pair FIRST SECOND [SKIP]
// pairs each click of FIRST with the next of SECOND within 300 ms and prints
// "LATENCY <ms>" for each (the first SKIP pairs left out), then
// "P50 <ms> P90 <ms> MEAN <ms> COUNT <n>".
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "transport/steady_clock.h"

namespace {

constexpr int kRate = 48000;
constexpr std::int64_t kQuietSamples = kRate / 20;  // 50 ms of quiet arms the detector
constexpr std::int64_t kPairWindowNs = 300000000;

// A click is the first loud sample after 50 ms of quiet.
struct Detector {
  std::int64_t quiet = 0;
  bool armed = false;
  std::vector<std::int64_t> onsets;  // sample indices
  void feed(float sample, std::int64_t index) {
    const float level = std::fabs(sample);
    if (armed && level > 0.3f) {
      onsets.push_back(index);
      armed = false;
    }
    quiet = level < 0.05f ? quiet + 1 : 0;
    if (quiet >= kQuietSamples) armed = true;
  }
};

int time_stream(bool paced) {
  std::vector<float> buffer(4096 * 2);
  Detector detector;
  std::int64_t samples = 0;
  std::int64_t start_ns = kNoDeadline;
  std::size_t carry = 0;  // bytes of a sample split across reads
  for (;;) {
    auto* bytes = reinterpret_cast<char*>(buffer.data());
    const ssize_t n = read(0, bytes + carry, buffer.size() * sizeof(float) - carry);
    if (n <= 0) break;
    const std::int64_t now = system_steady_clock().now_ns();
    const std::size_t have = carry + static_cast<std::size_t>(n);
    const std::int64_t frames = static_cast<std::int64_t>(have / (2 * sizeof(float)));
    const std::int64_t anchor_frame = paced ? samples : samples + frames;
    start_ns = std::min(start_ns, now - anchor_frame * 1000000000 / kRate);
    for (std::int64_t k = 0; k < frames; ++k) detector.feed(buffer[2 * k], samples + k);
    samples += frames;
    carry = have - static_cast<std::size_t>(frames) * 2 * sizeof(float);
    std::copy(bytes + have - carry, bytes + have, bytes);
  }
  for (std::int64_t onset : detector.onsets) {
    std::printf("ONSET %lld\n", static_cast<long long>(start_ns + onset * 1000000000 / kRate));
  }
  return 0;
}

std::vector<std::int64_t> read_onsets(const char* path) {
  std::ifstream file(path);
  std::vector<std::int64_t> onsets;
  std::string word;
  long long value = 0;
  while (file >> word >> value) onsets.push_back(value);
  return onsets;
}

int pair_onsets(const char* first_path, const char* second_path, int skip) {
  const std::vector<std::int64_t> first = read_onsets(first_path);
  const std::vector<std::int64_t> second = read_onsets(second_path);
  std::vector<double> latencies;
  for (std::int64_t at : first) {
    auto later = std::upper_bound(second.begin(), second.end(), at);
    if (later == second.end() || *later - at > kPairWindowNs) continue;
    latencies.push_back((*later - at) / 1e6);
  }
  if (latencies.size() <= static_cast<std::size_t>(skip)) return 1;
  latencies.erase(latencies.begin(), latencies.begin() + skip);
  double sum = 0;
  for (double l : latencies) std::printf("LATENCY %.2f\n", l), sum += l;
  std::sort(latencies.begin(), latencies.end());
  std::printf("P50 %.1f P90 %.1f MEAN %.1f COUNT %zu\n", latencies[latencies.size() / 2],
              latencies[latencies.size() * 9 / 10], sum / latencies.size(), latencies.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "--captured" || mode == "--paced") return time_stream(mode == "--paced");
  if (mode == "--pair" && argc >= 4)
    return pair_onsets(argv[2], argv[3], argc > 4 ? std::atoi(argv[4]) : 0);
  std::fprintf(stderr, "usage: tovik-click-onsets --captured | --paced | --pair A B [SKIP]\n");
  return 2;
}
