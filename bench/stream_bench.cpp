// Real-time measurements of the transmitter, side by side in one run:
//   1. capture-callback -> datagram-sent latency (p50/p99) with a real-time
//      fake source and a connected receiver on loopback;
//   2. transmitter CPU while streaming vs opus_encode_float alone on the
//      same audio;
//   3. idle CPU with no receiver.
// Usage: tovik_stream_bench [seconds per measurement, default 10]
#include <opus/opus.h>
#include <pthread.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "engine/audio_encoder.h"
#include "engine/audio_ring.h"
#include "engine/capture_converter.h"
#include "engine/fake/fake_audio_endpoint.h"
#include "engine/frame_sink.h"
#include "engine/loopback_capture.h"
#include "engine/stream_manager.h"
#include "engine/streaming_loop.h"
#include "transport/session_transport.h"

namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr int kRate = 48000;
constexpr std::uint32_t kPeriodFrames = 480;  // 10 ms device periods

double cpu_seconds(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

double process_cpu() { return cpu_seconds(CLOCK_PROCESS_CPUTIME_ID); }
double thread_cpu() { return cpu_seconds(CLOCK_THREAD_CPUTIME_ID); }

// The CPU clock of the calling thread, to be read from another thread.
clockid_t this_thread_clock() {
  clockid_t clock{};
  pthread_getcpuclockid(pthread_self(), &clock);
  return clock;
}

// Music-like test signal (two tones and a slow sweep), computed once so that
// the fake device costs a copy, like a real one, not three sines per sample.
const std::vector<float>& music_loop() {
  static const std::vector<float> loop = [] {
    std::vector<float> samples(5 * kRate);
    double sweep_phase = 0;
    for (std::size_t i = 0; i < samples.size(); ++i) {
      const double t = static_cast<double>(i) / kRate;
      sweep_phase += 2 * M_PI * (200.0 + 1800.0 * t / 5.0) / kRate;
      samples[i] =
          static_cast<float>(0.25 * std::sin(2 * M_PI * 440.0 * t) +
                             0.15 * std::sin(2 * M_PI * 1250.0 * t) + 0.1 * std::sin(sweep_phase));
    }
    return samples;
  }();
  return loop;
}

void music(float* out, std::uint32_t frames, int channels, std::uint64_t& position) {
  const std::vector<float>& loop = music_loop();
  for (std::uint32_t i = 0; i < frames; ++i, ++position) {
    const float v = loop[position % loop.size()];
    for (int c = 0; c < channels; ++c) out[i * channels + c] = v;
  }
}

// Records when each encoded frame has left through the session.
class TimingSink : public FrameSink {
 public:
  TimingSink(SessionTransport& session, std::size_t capacity) : session_(session) {
    sent_at_.reserve(capacity);
  }
  tovik::ConnectionState state() const override { return session_.state(); }
  ErrorCode send_audio_frame(const AudioFrameHeader& header, const std::uint8_t* payload,
                             std::size_t size) override {
    ErrorCode code = session_.send_audio_frame(header, payload, size);
    if (sent_at_.size() < sent_at_.capacity()) sent_at_.push_back(SteadyClock::now());
    return code;
  }
  const std::vector<SteadyClock::time_point>& sent_at() const { return sent_at_; }

 private:
  SessionTransport& session_;
  std::vector<SteadyClock::time_point> sent_at_;
};

TransportConfig loopback_transport(UdpSocket& announcement_sink) {
  TransportConfig config;
  config.audio_port = 0;
  config.discovery.port = announcement_sink.local_port();
  config.discovery.broadcast_ip = kIpv4Loopback;
  return config;
}

std::unique_ptr<UdpSocket> connected_receiver(SessionTransport& session) {
  auto receiver = std::make_unique<UdpSocket>();
  receiver->open();
  receiver->bind(kIpv4Loopback, 0);
  receiver->set_receive_timeout_ms(100);
  std::string hello = build_hello("Bench", "rx-bench", session.pairing_code());
  receiver->send_to(hello.data(), hello.size(), {kIpv4Loopback, session.audio_port()});
  while (session.state() != tovik::ConnectionState::Connected) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return receiver;
}

double percentile(std::vector<double> values, double p) {
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(p * (values.size() - 1))];
}

struct StreamingFigures {
  double p50_ms = 0, p99_ms = 0, max_ms = 0;
  std::size_t frames = 0;
  double cpu_seconds = 0;      // the transmitter's threads
  double capture_seconds = 0;  // of which the capture thread
  double loop_seconds = 0;     // and the streaming loop (encoding included)
};

// The pipeline StreamManager wires, with timing taps on both ends.
StreamingFigures measure_streaming(int seconds, UdpSocket& announcement_sink) {
  auto session = std::move(SessionTransport::create(loopback_transport(announcement_sink)).object);
  session->set_approval_callback([](const std::string&, const std::string&) { return true; });
  session->start();
  auto receiver = connected_receiver(*session);
  std::atomic<bool> receiving{true};
  double receiver_seconds = 0;  // the receiver is not the transmitter's cost
  // Like a real receiver, answer PINGs so the link is not dropped as silent.
  std::thread drain([&] {
    const double start = thread_cpu();
    std::uint8_t buffer[4096];
    SocketAddress from;
    while (receiving) {
      const int n = receiver->receive_from(buffer, sizeof buffer, &from);
      if (n > 0 && classify_datagram(buffer, static_cast<std::size_t>(n), SessionRole::Receiver) ==
                       DatagramKind::Ping) {
        const std::string pong = build_pong(buffer, static_cast<std::size_t>(n));
        receiver->send_to(pong.data(), pong.size(), from);
      }
    }
    receiver_seconds = thread_cpu() - start;
  });

  const std::size_t periods = static_cast<std::size_t>(seconds) * kRate / kPeriodFrames + 64;
  auto endpoint = std::make_unique<FakeAudioEndpoint>();
  std::uint64_t position = 0;
  endpoint->play_real_time(kPeriodFrames, [&position](float* out, std::uint32_t frames, int ch) {
    music(out, frames, ch, position);
  });
  auto capture = std::move(LoopbackCapture::create(std::move(endpoint)).object);
  auto encoder = std::move(AudioEncoder::create(EncoderConfig()).object);
  AudioRing ring;
  CaptureConverter converter(ring, kRate, 2);
  std::vector<SteadyClock::time_point> captured_at(periods);
  std::size_t captured = 0;
  TimingSink sink(*session, periods / 2);
  StreamCounters counters;
  std::atomic<bool> running{true};

  StreamingFigures figures;
  std::atomic<bool> capture_clock_known{false};
  clockid_t capture_clock{};
  double capture_start = 0;
  const double cpu_before = process_cpu();
  const double main_before = thread_cpu();
  capture->start([&](const float* samples, std::size_t frames, int rate, int channels) {
    if (!capture_clock_known.load(std::memory_order_relaxed)) {
      capture_clock = this_thread_clock();
      capture_start = cpu_seconds(capture_clock);
      capture_clock_known.store(true, std::memory_order_release);
    }
    if (captured < captured_at.size()) captured_at[captured++] = SteadyClock::now();
    converter.on_audio_captured(samples, frames, rate, channels);
  });
  std::thread streaming([&] {
    const double start = thread_cpu();
    streaming_loop(running, ring, *encoder, sink, counters);
    figures.loop_seconds = thread_cpu() - start;
  });
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  if (capture_clock_known.load(std::memory_order_acquire)) {
    figures.capture_seconds = cpu_seconds(capture_clock) - capture_start;
  }
  capture->stop();
  running = false;
  streaming.join();
  receiving = false;
  drain.join();
  // The main thread only slept, and the receiver's thread is not ours.
  figures.cpu_seconds =
      process_cpu() - cpu_before - (thread_cpu() - main_before) - receiver_seconds;
  session->stop();

  std::vector<double> latencies;
  const auto& sent = sink.sent_at();
  for (std::size_t k = 0; k < sent.size() && 2 * k < captured; ++k) {
    latencies.push_back(
        std::chrono::duration<double, std::milli>(sent[k] - captured_at[2 * k]).count());
  }
  figures.frames = latencies.size();

  figures.p50_ms = percentile(latencies, 0.50);
  figures.p99_ms = percentile(latencies, 0.99);
  figures.max_ms = *std::max_element(latencies.begin(), latencies.end());
  return figures;
}

// opus_encode_float alone on the same signal and number of frames; with
// `paced`, one frame every 20 ms of real time as in a live stream, so that
// each encode starts on caches the rest of the machine has used meanwhile.
double raw_encode_cpu(std::size_t frames, bool paced) {
  int error = 0;
  OpusEncoder* encoder = opus_encoder_create(kRate, 2, OPUS_APPLICATION_AUDIO, &error);
  opus_encoder_ctl(encoder, OPUS_SET_BITRATE(128000));
  opus_encoder_ctl(encoder, OPUS_SET_SIGNAL(OPUS_SIGNAL_MUSIC));
  opus_encoder_ctl(encoder, OPUS_SET_COMPLEXITY(5));
  std::vector<float> pcm(960 * 2 * frames);
  std::uint64_t position = 0;
  music(pcm.data(), static_cast<std::uint32_t>(960 * frames), 2, position);
  unsigned char packet[2550];
  const double before = thread_cpu();
  SteadyClock::time_point next = SteadyClock::now();
  for (std::size_t k = 0; k < frames; ++k) {
    if (opus_encode_float(encoder, pcm.data() + k * 1920, 960, packet, sizeof packet) < 0) break;
    if (paced) std::this_thread::sleep_until(next += std::chrono::milliseconds(20));
  }
  const double spent = thread_cpu() - before;
  opus_encoder_destroy(encoder);
  return spent;
}

// The whole engine started with a real-time source and nobody connected.
double idle_cpu_fraction(int seconds, UdpSocket& announcement_sink) {
  auto endpoint = std::make_unique<FakeAudioEndpoint>();
  std::uint64_t position = 0;
  endpoint->play_real_time(kPeriodFrames, [&position](float* out, std::uint32_t frames, int ch) {
    music(out, frames, ch, position);
  });
  StreamManagerOptions options;
  options.endpoint = std::move(endpoint);
  options.transport = loopback_transport(announcement_sink);
  auto manager = std::move(StreamManager::create(StreamConfig(), std::move(options)).object);
  manager->start();
  std::this_thread::sleep_for(std::chrono::seconds(1));  // past start-up
  const double before = process_cpu();
  const double main_before = thread_cpu();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double spent = process_cpu() - before - (thread_cpu() - main_before);
  manager->stop();
  return spent / seconds;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("APPDATA", "/nonexistent/tovik-bench", 1);  // no logs from the benchmark
  const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 10;
  UdpSocket::startup();
  UdpSocket announcements;  // absorbs announcements on loopback, never a broadcast
  announcements.open();
  announcements.bind(kIpv4Loopback, 0);

  StreamingFigures streaming = measure_streaming(seconds, announcements);
  const double raw = raw_encode_cpu(streaming.frames, false);
  const double paced = raw_encode_cpu(streaming.frames, true);
  const double idle = idle_cpu_fraction(seconds, announcements);

  std::printf(
      "capture->sent latency over %zu frames: p50 %.2f ms, p99 %.2f ms, max %.2f ms "
      "(targets 22 / 35)\n",
      streaming.frames, streaming.p50_ms, streaming.p99_ms, streaming.max_ms);
  const auto per_second = [seconds](double s) { return 1000 * s / seconds; };
  std::printf(
      "transmitter CPU while streaming: %.1f ms per s of audio (streaming loop %.1f, capture "
      "%.1f, session and discovery %.1f)\n",
      per_second(streaming.cpu_seconds), per_second(streaming.loop_seconds),
      per_second(streaming.capture_seconds),
      per_second(streaming.cpu_seconds - streaming.loop_seconds - streaming.capture_seconds));
  std::printf(
      "opus_encode_float alone: %.1f ms back to back, %.1f ms paced at one frame per 20 ms\n",
      per_second(raw), per_second(paced));
  std::printf("ratio to back to back %.3f (target <= 1.15), to paced %.3f\n",
              streaming.cpu_seconds / raw, streaming.cpu_seconds / paced);
  std::printf("idle CPU, no receiver: %.3f %% of one core (target <= 0.1 %%)\n", 100 * idle);
  return 0;
}
