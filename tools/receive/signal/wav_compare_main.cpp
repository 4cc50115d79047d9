// tovik-wav-compare: measures a recording of a tone:
//   tovik-wav-compare RECEIVED.wav FREQUENCY_HZ [--skip S] [--length S]
// prints "frequency .. longest_quiet_ms .. trailing_quiet_ms .. snr_db .. clean_fraction ..
// clean_snr_db ..".
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "signal_tools.h"

int main(int argc, char** argv) {
  double skip_s = 0.5, length_s = 3;
  for (int k = 3; k + 1 < argc; k += 2) {
    if (std::string(argv[k]) == "--skip") skip_s = std::atof(argv[k + 1]);
    if (std::string(argv[k]) == "--length") length_s = std::atof(argv[k + 1]);
  }
  const std::vector<float> received =
      argc < 3 ? std::vector<float>() : read_float_wav_left(argv[1]);
  const std::size_t active = first_active(received, 1e-3f);
  const std::size_t from = active + static_cast<std::size_t>(skip_s * 48000);
  const std::size_t tail = 4800;  // the last moments may be cut by the stop
  if (from + tail >= received.size()) {
    std::fprintf(stderr,
                 "usage: tovik-wav-compare REC.wav HZ [--skip S] [--length S] (a float WAV"
                 " file with sound after the skip)\n");
    return 2;
  }
  const std::size_t length =
      std::min(static_cast<std::size_t>(length_s * 48000), received.size() - from - tail);
  const std::vector<float> segment(received.begin() + from, received.begin() + from + length);
  std::size_t last = received.size() - tail;  // after the last sound
  while (last > from && std::fabs(received[last - 1]) <= 1e-4f) --last;
  const ToneQuality q = tone_quality(segment, std::atof(argv[2]));
  std::printf(
      "frequency %.2f longest_quiet_ms %.1f trailing_quiet_ms %.1f snr_db %.2f clean_fraction %.3f "
      "clean_snr_db %.2f\n",
      tone_frequency(segment),
      longest_quiet_run(received, active, received.size() - tail, 1e-4f) / 48.0,
      (received.size() - tail - last) / 48.0, q.snr_db, q.clean_fraction, q.clean_snr_db);
  return 0;
}
