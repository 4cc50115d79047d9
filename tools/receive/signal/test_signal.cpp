#include "test_signal.h"

#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = 48000;

double sweep_phase(const SignalSpec& spec, double t) {
  // Exponential sweep: f(t) = f0 * k^(t/T); phase = 2 pi f0 T (k^(t/T) - 1) / ln k.
  const double k = spec.end_hz / spec.start_hz;
  const double T = spec.period_s;
  return 2 * kPi * spec.start_hz * T * (std::pow(k, t / T) - 1) / std::log(k);
}

}  // namespace

float signal_sample(const SignalSpec& spec, std::int64_t n) {
  if (spec.kind == SignalSpec::Kind::Tone) {
    // The phase is reduced in whole periods first, so long runs keep precision.
    const double period = kRate / spec.frequency_hz;
    const double within = std::fmod(static_cast<double>(n), period * 1000.0);
    return static_cast<float>(spec.amplitude * std::sin(2 * kPi * within / period));
  }
  const std::int64_t period_samples = static_cast<std::int64_t>(spec.period_s * kRate);
  const double t = static_cast<double>(n % period_samples) / kRate;
  return static_cast<float>(spec.amplitude * std::sin(sweep_phase(spec, t)));
}

void fill_signal(const SignalSpec& spec, std::int64_t first, float* out, int frames) {
  for (int k = 0; k < frames; ++k) {
    const float value = signal_sample(spec, first + k);
    out[2 * k] = value;
    out[2 * k + 1] = value;
  }
}
