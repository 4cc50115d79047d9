#pragma once

#include <cstddef>
#include <vector>

// The offset into reference at which received matches best, by FFT
// cross-correlation over every offset (received shorter than reference).
std::ptrdiff_t find_offset(const std::vector<float>& reference, const std::vector<float>& received);

struct Comparison {
  std::ptrdiff_t offset = 0;  // where received[0] lies in the reference
  double correlation = 0;     // Pearson, after alignment
  double snr_db = 0;          // received against the gain-matched reference
  double gain = 0;            // least-squares gain of received over reference
  // Blocks that match the reference closely (normalised correlation >= 0.999):
  // their share, and the SNR over them alone. A stall of the machine shows as
  // a few blocks outside this set.
  double clean_fraction = 0;
  double clean_snr_db = 0;
};

// Aligns received to the reference (globally, then each block of block
// samples within +-slack) and measures how alike they are. Drift corrections
// of the receiver shift its output by a sample now and then; the block
// alignment follows them.
Comparison compare_signals(const std::vector<float>& reference, const std::vector<float>& received,
                           int block = 4800, int slack = 24);

// The dominant frequency (Hz) by an FFT peak with parabolic interpolation.
double dominant_frequency(const std::vector<float>& samples, int sample_rate);

// The longest run of samples with |x| <= threshold, from first to end.
std::size_t longest_quiet_run(const std::vector<float>& samples, std::size_t first, std::size_t end,
                              float threshold);
// The first sample with |x| > threshold at or after first; samples.size() if none.
std::size_t first_active(const std::vector<float>& samples, std::size_t first, float threshold);
