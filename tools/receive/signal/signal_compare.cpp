#include "signal_compare.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace {

using Complex = std::complex<double>;
constexpr double kPi = 3.14159265358979323846;

void fft(std::vector<Complex>& a, bool inverse) {
  const std::size_t n = a.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (std::size_t len = 2; len <= n; len <<= 1) {
    const double angle = 2 * kPi / static_cast<double>(len) * (inverse ? 1 : -1);
    const Complex step(std::cos(angle), std::sin(angle));
    for (std::size_t i = 0; i < n; i += len) {
      Complex w(1);
      for (std::size_t k = 0; k < len / 2; ++k) {
        const Complex u = a[i + k], v = a[i + k + len / 2] * w;
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
        w *= step;
      }
    }
  }
}

std::size_t power_of_two(std::size_t n) {
  std::size_t size = 1;
  while (size < n) size <<= 1;
  return size;
}

// Sum of products of received with reference starting at offset.
double dot_at(const std::vector<float>& ref, const float* rec, std::size_t n, std::ptrdiff_t at) {
  double sum = 0;
  for (std::size_t k = 0; k < n; ++k) sum += static_cast<double>(ref[at + k]) * rec[k];
  return sum;
}

}  // namespace

std::ptrdiff_t find_offset(const std::vector<float>& reference,
                           const std::vector<float>& received) {
  if (received.empty() || reference.size() < received.size()) return 0;
  const std::size_t n = power_of_two(reference.size() + received.size());
  std::vector<Complex> a(n), b(n);
  for (std::size_t k = 0; k < reference.size(); ++k) a[k] = reference[k];
  for (std::size_t k = 0; k < received.size(); ++k) b[k] = received[k];
  fft(a, false);
  fft(b, false);
  for (std::size_t k = 0; k < n; ++k) a[k] *= std::conj(b[k]);
  fft(a, true);
  std::ptrdiff_t best = 0;
  double best_value = -1e300;
  const std::size_t last = reference.size() - received.size();
  for (std::size_t k = 0; k <= last; ++k) {
    if (a[k].real() > best_value) {
      best_value = a[k].real();
      best = static_cast<std::ptrdiff_t>(k);
    }
  }
  return best;
}

namespace {

// The offset (near `around`, within +-range) where block of received best
// matches the reference, with its normalised correlation.
std::ptrdiff_t best_block_offset(const std::vector<float>& reference, const float* block, int size,
                                 std::ptrdiff_t around, int range, double* score) {
  double block_energy = 0;
  for (int k = 0; k < size; ++k) block_energy += static_cast<double>(block[k]) * block[k];
  std::ptrdiff_t best = around;
  *score = -2;
  for (std::ptrdiff_t d = -range; d <= range; ++d) {
    const std::ptrdiff_t start = around + d;
    if (start < 0 || start + size > static_cast<std::ptrdiff_t>(reference.size())) continue;
    double ref_energy = 0;
    for (int k = 0; k < size; ++k)
      ref_energy += static_cast<double>(reference[start + k]) * reference[start + k];
    const double denominator = std::sqrt(ref_energy * block_energy);
    const double value = denominator > 0 ? dot_at(reference, block, size, start) / denominator : 0;
    if (value > *score) {
      *score = value;
      best = start;
    }
  }
  return best;
}

}  // namespace

namespace {

struct Sums {
  double ref_ref = 0, ref_rec = 0, rec_rec = 0, sum_ref = 0, sum_rec = 0;
  std::size_t count = 0;
  void add(double x, double y) {
    ref_ref += x * x;
    ref_rec += x * y;
    rec_rec += y * y;
    sum_ref += x;
    sum_rec += y;
    ++count;
  }
  double gain() const { return ref_ref > 0 ? ref_rec / ref_ref : 0; }
  double correlation() const {
    const double n = static_cast<double>(count);
    const double cov = ref_rec - sum_ref * sum_rec / n;
    const double var_ref = ref_ref - sum_ref * sum_ref / n;
    const double var_rec = rec_rec - sum_rec * sum_rec / n;
    return var_ref > 0 && var_rec > 0 ? cov / std::sqrt(var_ref * var_rec) : 0;
  }
  double snr_db() const {
    // Error energy of received - gain * reference, from the sums.
    const double g = gain();
    const double error = rec_rec - 2 * g * ref_rec + g * g * ref_ref;
    return 10 * std::log10(std::max(g * g * ref_ref, 1e-20) / std::max(error, 1e-20));
  }
};

}  // namespace

Comparison compare_signals(const std::vector<float>& reference, const std::vector<float>& received,
                           int block, int slack) {
  Comparison result;
  result.offset = find_offset(reference, received);
  Sums all, clean;
  std::size_t blocks = 0, clean_blocks = 0;
  std::ptrdiff_t shift = result.offset;  // reference index minus received index
  for (std::size_t at = 0; at + block <= received.size(); at += block) {
    const float* part = &received[at];
    const std::ptrdiff_t expected = shift + static_cast<std::ptrdiff_t>(at);
    double score = 0;
    std::ptrdiff_t start = best_block_offset(reference, part, block, expected, slack, &score);
    // A whole frame inserted or dropped moves the stream by 20 ms or more.
    if (score < 0.9) {
      start = best_block_offset(reference, part, block, expected, 2 * 960 + slack, &score);
    }
    shift = start - static_cast<std::ptrdiff_t>(at);
    const bool good = score >= 0.999;
    ++blocks;
    clean_blocks += good ? 1 : 0;
    for (int k = 0; k < block; ++k) {
      all.add(reference[start + k], part[k]);
      if (good) clean.add(reference[start + k], part[k]);
    }
  }
  if (all.count == 0 || all.ref_ref <= 0) return result;
  result.correlation = all.correlation();
  result.gain = all.gain();
  result.snr_db = all.snr_db();
  result.clean_fraction = static_cast<double>(clean_blocks) / static_cast<double>(blocks);
  if (clean.count > 0) result.clean_snr_db = clean.snr_db();
  return result;
}

double dominant_frequency(const std::vector<float>& samples, int sample_rate) {
  const std::size_t n =
      std::min(power_of_two(std::max<std::size_t>(samples.size(), 4)), std::size_t{1} << 20);
  std::vector<Complex> a(n);
  const std::size_t used = std::min(samples.size(), n);
  for (std::size_t k = 0; k < used; ++k) {
    const double window = 0.5 - 0.5 * std::cos(2 * kPi * k / (used - 1));  // Hann
    a[k] = samples[k] * window;
  }
  fft(a, false);
  std::size_t peak = 1;
  for (std::size_t k = 1; k < n / 2; ++k) {
    if (std::abs(a[k]) > std::abs(a[peak])) peak = k;
  }
  const double l = std::log(std::abs(a[peak - 1]) + 1e-30);
  const double c = std::log(std::abs(a[peak]) + 1e-30);
  const double r = std::log(std::abs(a[peak + 1]) + 1e-30);
  const double shift = 0.5 * (l - r) / (l - 2 * c + r);
  return (static_cast<double>(peak) + shift) * sample_rate / static_cast<double>(n);
}

std::size_t longest_quiet_run(const std::vector<float>& samples, std::size_t first, std::size_t end,
                              float threshold) {
  std::size_t longest = 0, run = 0;
  for (std::size_t k = first; k < std::min(end, samples.size()); ++k) {
    run = std::fabs(samples[k]) <= threshold ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return longest;
}

std::size_t first_active(const std::vector<float>& samples, std::size_t first, float threshold) {
  for (std::size_t k = first; k < samples.size(); ++k) {
    if (std::fabs(samples[k]) > threshold) return k;
  }
  return samples.size();
}
