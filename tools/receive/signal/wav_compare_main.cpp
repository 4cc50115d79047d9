// tovik-wav-compare: measures a received recording against its reference:
//   tovik-wav-compare REFERENCE.wav RECEIVED.wav [--skip S] [--length S]
// prints "offset .. correlation .. snr_db .. gain .. frequency .. longest_quiet_ms .."
#include <cstdio>
#include <cstdlib>
#include <string>

#include "signal_compare.h"
#include "wav_reader.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: tovik-wav-compare REF.wav REC.wav [--skip S] [--length S]\n");
    return 2;
  }
  double skip_s = 0.5, length_s = 3;
  for (int k = 3; k + 1 < argc; k += 2) {
    const std::string name = argv[k];
    if (name == "--skip") skip_s = std::atof(argv[k + 1]);
    if (name == "--length") length_s = std::atof(argv[k + 1]);
  }
  auto reference = read_wav(argv[1]);
  auto received = read_wav(argv[2]);
  if (!reference || !received || received->sample_rate != 48000) {
    std::fprintf(stderr, "cannot read the WAV files\n");
    return 2;
  }
  const std::vector<float>& rec = received->first_channel;
  const std::size_t active = first_active(rec, 0, 1e-3f);
  const std::size_t from = active + static_cast<std::size_t>(skip_s * 48000);
  const std::size_t tail = 4800;  // the last moments may be cut by the stop
  if (from + tail >= rec.size()) {
    std::printf("active_from %zu too_short 1\n", active);
    return 1;
  }
  const std::size_t length =
      std::min(static_cast<std::size_t>(length_s * 48000), rec.size() - from - tail);
  std::vector<float> segment(rec.begin() + from, rec.begin() + from + length);
  const Comparison c = compare_signals(reference->first_channel, segment);
  const double frequency = dominant_frequency(segment, 48000);
  const std::size_t quiet = longest_quiet_run(rec, active, rec.size() - tail, 1e-4f);
  std::printf(
      "offset %td correlation %.5f snr_db %.2f gain %.4f frequency %.2f "
      "longest_quiet_ms %.1f active_from_ms %.1f clean_fraction %.3f clean_snr_db %.2f\n",
      c.offset, c.correlation, c.snr_db, c.gain, frequency, quiet / 48.0, active / 48.0,
      c.clean_fraction, c.clean_snr_db);
  return 0;
}
