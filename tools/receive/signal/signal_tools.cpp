#include "signal_tools.h"

#include <opus/opus.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = 48000;

// Energies of the best-fitting sine of the frequency and of what is left.
struct Fit {
  double tone = 0, rest = 0;
  void add(const Fit& o) { tone += o.tone, rest += o.rest; }
  double snr_db() const { return 10 * std::log10(std::max(tone, 1e-20) / std::max(rest, 1e-20)); }
};

Fit fit_tone(const float* x, int n, double frequency_hz) {
  double xs = 0, xc = 0, ss = 0, cc = 0, sc = 0, total = 0;
  for (int k = 0; k < n; ++k) {
    const double s = std::sin(2 * kPi * frequency_hz * k / kRate);
    const double c = std::cos(2 * kPi * frequency_hz * k / kRate);
    xs += x[k] * s, xc += x[k] * c, ss += s * s, cc += c * c, sc += s * c;
    total += static_cast<double>(x[k]) * x[k];
  }
  // Least squares: a sin + b cos, whose energy is a xs + b xc.
  const double det = ss * cc - sc * sc;
  const double tone = ((xs * cc - xc * sc) * xs + (xc * ss - xs * sc) * xc) / det;
  return {tone, std::max(total - tone, 0.0)};
}

}  // namespace

void fill_signal(const SignalSpec& spec, std::int64_t first, float* out, int frames) {
  // The phase is reduced in whole periods first, so long runs keep their precision.
  const double period = kRate / spec.frequency_hz;
  for (int k = 0; k < frames; ++k) {
    const double within = std::fmod(static_cast<double>(first + k), period * 1000.0);
    out[2 * k] = out[2 * k + 1] =
        static_cast<float>(spec.amplitude * std::sin(2 * kPi * within / period));
  }
}

ReferenceEncoder::~ReferenceEncoder() {
  if (encoder_ != nullptr) opus_encoder_destroy(encoder_);
}

ErrorCode ReferenceEncoder::init() {
  int error = OPUS_OK;
  encoder_ = opus_encoder_create(48000, 2, OPUS_APPLICATION_AUDIO, &error);
  if (error != OPUS_OK) encoder_ = nullptr;
  if (encoder_ == nullptr) return ErrorCode::CodecError;
  opus_encoder_ctl(encoder_, OPUS_SET_BITRATE(kBitrate));
  opus_encoder_ctl(encoder_, OPUS_SET_SIGNAL(OPUS_SIGNAL_MUSIC));
  opus_encoder_ctl(encoder_, OPUS_SET_COMPLEXITY(5));
  return ErrorCode::Ok;
}

int ReferenceEncoder::encode(const float* pcm, std::uint8_t* packet, std::size_t capacity) {
  if (encoder_ == nullptr) return -1;
  const int n = opus_encode_float(encoder_, pcm, 960, packet, static_cast<opus_int32>(capacity));
  return n < 0 ? -1 : n;
}

ErrorCode SignalStreamer::start() {
  if (running_) return ErrorCode::InvalidArgument;
  const ErrorCode code = encoder_.init();
  if (code != ErrorCode::Ok) return code;
  running_ = true;
  thread_ = std::thread(&SignalStreamer::run, this);
  return ErrorCode::Ok;
}

void SignalStreamer::stop() {
  running_ = false;
  if (thread_.joinable()) thread_.join();
}

void SignalStreamer::run() {
  std::vector<float> pcm(960 * 2);
  std::uint8_t packet[1500];
  AudioFrameHeader header;
  header.bitrate = ReferenceEncoder::kBitrate;
  const auto start = std::chrono::steady_clock::now();
  for (std::uint32_t n = 0; running_; ++n) {
    // Like a capture source, the frame's last sample exists only now.
    std::this_thread::sleep_until(start + std::chrono::milliseconds(20) * (n + 1));
    const std::int64_t first = static_cast<std::int64_t>(n) * 960;
    fill_signal(signal_, first, pcm.data(), 960);
    if (hook_) hook_(first, pcm.data());
    const int size = encoder_.encode(pcm.data(), packet, sizeof packet);
    if (size < 0) continue;
    header.sequence = n;
    header.timestamp = n * 960;
    header.flags = n % 50 == 0 ? 1 : 0;
    session_.send_audio_frame(header, packet, static_cast<std::size_t>(size));
  }
}

std::vector<float> read_float_wav_left(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::size_t data = bytes.find("data");
  std::vector<float> left;
  if (bytes.compare(0, 4, "RIFF") != 0 || data == std::string::npos) return left;
  for (std::size_t at = data + 8; at + 8 <= bytes.size(); at += 8) {
    left.push_back(0);
    std::memcpy(&left.back(), &bytes[at], 4);
  }
  return left;
}

ToneQuality tone_quality(const std::vector<float>& samples, double frequency_hz) {
  constexpr int kBlock = 4800;
  Fit all, clean;
  int blocks = 0, clean_blocks = 0;
  for (std::size_t at = 0; at + kBlock <= samples.size(); at += kBlock, ++blocks) {
    const Fit fit = fit_tone(&samples[at], kBlock, frequency_hz);
    all.add(fit);
    if (fit.snr_db() < 27) continue;
    clean.add(fit);
    ++clean_blocks;
  }
  ToneQuality quality;
  if (blocks == 0) return quality;
  quality.snr_db = all.snr_db();
  quality.clean_fraction = static_cast<double>(clean_blocks) / blocks;
  if (clean_blocks > 0) quality.clean_snr_db = clean.snr_db();
  return quality;
}

double tone_frequency(const std::vector<float>& samples) {
  // Rising zero crossings a period or so apart: the pauses between them do not count.
  std::size_t last = 0, periods = 0, length = 0;
  for (std::size_t k = 1; k < samples.size(); ++k) {
    if (samples[k - 1] >= 0 || samples[k] < 0) continue;
    if (last > 0 && k - last < 200) ++periods, length += k - last;
    last = k;
  }
  return length > 0 ? static_cast<double>(periods) * kRate / static_cast<double>(length) : 0;
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

std::size_t first_active(const std::vector<float>& samples, float threshold) {
  for (std::size_t k = 0; k < samples.size(); ++k) {
    if (std::fabs(samples[k]) > threshold) return k;
  }
  return samples.size();
}
