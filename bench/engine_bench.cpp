// Encoder and capture-path costs, per second of audio. "Time" is the cost of
// one second of 48 kHz stereo; audio_s_per_cpu_s says how many seconds of
// audio one core handles per second.
#include <benchmark/benchmark.h>
#include <opus/opus.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "engine/audio_encoder.h"
#include "engine/capture_converter.h"
#include "engine/streaming_loop.h"

namespace {

constexpr int kRate = 48000;
constexpr int kFrame = 960;
constexpr int kFramesPerSecond = kRate / kFrame;

// One second of music-like stereo: a chord with some noise, different per channel.
std::vector<float> music_second(int rate = kRate, int channels = 2) {
  std::vector<float> out(static_cast<std::size_t>(rate) * channels);
  std::mt19937 random(7);
  std::uniform_real_distribution<float> noise(-0.02f, 0.02f);
  const double tones[] = {220.0, 277.18, 329.63, 440.0};
  for (int i = 0; i < rate; ++i) {
    double value = 0.0;
    for (double f : tones) value += 0.12 * std::sin(2.0 * 3.141592653589793 * f * i / rate);
    for (int c = 0; c < channels; ++c) {
      out[static_cast<std::size_t>(i) * channels + c] = static_cast<float>(value) + noise(random);
    }
  }
  return out;
}

void set_audio_counters(benchmark::State& state) {
  state.counters["audio_s_per_cpu_s"] =
      benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_AudioEncoderEncode(benchmark::State& state) {
  EncoderConfig config;
  config.bitrate = static_cast<std::int32_t>(state.range(0));
  auto encoder = AudioEncoder::create(config).object;
  const auto pcm = music_second();
  std::vector<std::uint8_t> packet;
  std::size_t bytes = 0;
  for (auto _ : state) {
    for (int f = 0; f < kFramesPerSecond; ++f) {
      packet.clear();
      encoder->encode(pcm.data() + 2 * kFrame * f, kFrame, packet, nullptr);
      bytes += packet.size();
    }
  }
  state.counters["kbit_per_s"] =
      benchmark::Counter(8.0 * bytes / 1000.0 / static_cast<double>(state.iterations()),
                         benchmark::Counter::kDefaults);
  set_audio_counters(state);
}
BENCHMARK(BM_AudioEncoderEncode)
    ->Arg(64000)
    ->Arg(128000)
    ->Arg(256000)
    ->Unit(benchmark::kMillisecond);

// The same work straight through libopus, without the wrapper's mutex and vector.
void BM_RawOpusEncodeFloat(benchmark::State& state) {
  int error = 0;
  OpusEncoder* encoder = opus_encoder_create(kRate, 2, OPUS_APPLICATION_AUDIO, &error);
  opus_encoder_ctl(encoder, OPUS_SET_BITRATE(static_cast<opus_int32>(state.range(0))));
  opus_encoder_ctl(encoder, OPUS_SET_SIGNAL(OPUS_SIGNAL_MUSIC));
  opus_encoder_ctl(encoder, OPUS_SET_COMPLEXITY(5));
  const auto pcm = music_second();
  unsigned char packet[2550];
  for (auto _ : state) {
    for (int f = 0; f < kFramesPerSecond; ++f) {
      benchmark::DoNotOptimize(
          opus_encode_float(encoder, pcm.data() + 2 * kFrame * f, kFrame, packet, sizeof packet));
    }
  }
  opus_encoder_destroy(encoder);
  set_audio_counters(state);
}
BENCHMARK(BM_RawOpusEncodeFloat)
    ->Arg(64000)
    ->Arg(128000)
    ->Arg(256000)
    ->Unit(benchmark::kMillisecond);

class NullSink final : public FrameSink {
 public:
  tovik::ConnectionState state() const override { return tovik::ConnectionState::Connected; }
  ErrorCode send_audio_frame(const AudioFrameHeader&, const std::uint8_t*, std::size_t) override {
    return ErrorCode::Ok;
  }
};

// Ring + streaming loop + encoder at 128 kbit/s: the pipeline's overhead over raw encode.
void BM_StreamingLoopSecond(benchmark::State& state) {
  auto encoder = AudioEncoder::create(EncoderConfig{}).object;
  auto ring = std::make_unique<AudioRing>();
  NullSink sink;
  StreamCounters counters;
  StreamingLoop loop(*ring, *encoder, sink);
  const auto pcm = music_second();
  for (auto _ : state) {
    for (int f = 0; f < kFramesPerSecond; ++f) {
      ring->write(pcm.data() + 2 * kFrame * f, 4 * 2 * kFrame);
      loop.run_pass(counters);
    }
  }
  set_audio_counters(state);
}
BENCHMARK(BM_StreamingLoopSecond)->Unit(benchmark::kMillisecond);

// Capture callback converting a device format, 10 ms packets; arg = rate, channels.
void BM_CaptureConversionSecond(benchmark::State& state) {
  const int rate = static_cast<int>(state.range(0));
  const int channels = static_cast<int>(state.range(1));
  auto ring = std::make_unique<AudioRing>();
  CaptureConverter converter(*ring, rate, channels);
  const auto pcm = music_second(rate, channels);
  const int packet = rate / 100;
  for (auto _ : state) {
    for (int f = 0; f + packet <= rate; f += packet) {
      converter.on_audio_captured(pcm.data() + static_cast<std::size_t>(f) * channels,
                                  static_cast<std::uint64_t>(packet), rate, channels);
    }
    ring->set_read_pos(ring->write_pos());
  }
  set_audio_counters(state);
}
BENCHMARK(BM_CaptureConversionSecond)
    ->Args({48000, 2})
    ->Args({44100, 2})
    ->Args({48000, 6})
    ->Args({44100, 8})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
