// Real-time measurements of the transmitter, each beside its target, in one
// run with its reference:
//   1. idle: the engine started with a real-time source and no receiver: CPU
//      and wake-ups per second, by thread;
//   2. the first frame after a connection wakes the sleeping capture;
//   3. streaming: the pipeline as StreamManager wires it (the capture thread
//      converts, encodes and sends) with a real-time fake source and a
//      loopback receiver: capture-to-send latency, CPU and wake-ups by
//      thread, against opus_encode_float on the same audio, back to back and
//      paced at one frame per 20 ms.
// Prints a Markdown table. Usage: tovik_stream_bench [seconds, default 10]
#include <opus/opus.h>
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
#include "thread_figures.h"
#include "transport/session_transport.h"

namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr int kRate = 48000;
constexpr std::uint32_t kPeriodFrames = 480;  // 10 ms device periods

double thread_cpu() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
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
  std::size_t at = static_cast<std::size_t>(position % loop.size());
  for (std::uint32_t i = 0; i < frames; ++i) {
    const float v = loop[at];
    at = at + 1 == loop.size() ? 0 : at + 1;
    for (int c = 0; c < channels; ++c) out[i * channels + c] = v;
  }
  position += frames;
}

std::unique_ptr<FakeAudioEndpoint> music_device(std::uint64_t& position) {
  auto endpoint = std::make_unique<FakeAudioEndpoint>();
  endpoint->play_real_time(kPeriodFrames, [&position](float* out, std::uint32_t frames, int ch) {
    music(out, frames, ch, position);
  });
  return endpoint;
}

TransportConfig loopback_transport(UdpSocket& announcement_sink) {
  TransportConfig config;
  config.audio_port = 0;
  config.discovery.port = announcement_sink.local_port();
  config.discovery.broadcast_ip = kIpv4Loopback;
  return config;
}

// A receiver on loopback: greets, then (on its own thread) answers PINGs so
// the link is not dropped as silent, and notes when audio frames arrive.
class BenchReceiver {
 public:
  explicit BenchReceiver(std::uint16_t transmitter_port) : port_(transmitter_port) {
    socket_.open();
    socket_.bind(kIpv4Loopback, 0);
  }
  ~BenchReceiver() { stop(); }
  void greet(const std::string& code) {
    const std::string hello = build_hello("Bench", "rx-bench", code);
    socket_.send_to(hello.data(), hello.size(), {kIpv4Loopback, port_});
  }
  // Blocks until an audio frame arrives (or 2 s pass); its arrival time.
  SteadyClock::time_point first_frame() {
    const auto deadline = SteadyClock::now() + std::chrono::seconds(2);
    std::uint8_t buffer[4096];
    SocketAddress from;
    while (SteadyClock::now() < deadline) {
      const int n = socket_.receive_from(buffer, sizeof buffer, &from, 100);
      if (n > 16 && buffer[0] == 0x01) return SteadyClock::now();
    }
    return deadline;
  }
  // Reads what came every 50 ms instead of waiting in the socket: a sender
  // on loopback would otherwise pay for waking this thread at each frame,
  // which a receiver on the network never costs it.
  void answer_pings() {
    thread_ = std::thread([this] {
      name_bench_thread("bench-rx");
      std::uint8_t buffer[4096];
      SocketAddress from;
      while (running_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        int n = 0;
        while ((n = socket_.receive_from(buffer, sizeof buffer, &from, 0)) > 0) {
          if (classify_datagram(buffer, static_cast<std::size_t>(n), SessionRole::Receiver) ==
              DatagramKind::Ping) {
            const std::string pong = build_pong(buffer, static_cast<std::size_t>(n));
            socket_.send_to(pong.data(), pong.size(), from);
          }
        }
      }
    });
  }
  void stop() {
    running_ = false;
    socket_.close();
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::uint16_t port_;
  UdpSocket socket_;
  std::atomic<bool> running_{true};
  std::thread thread_;
};

double percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(p * (values.size() - 1))];
}

std::unique_ptr<StreamManager> started_engine(UdpSocket& announcements, std::uint64_t& position) {
  StreamManagerOptions options;
  options.endpoint = music_device(position);
  options.transport = loopback_transport(announcements);
  auto manager = std::move(StreamManager::create(StreamConfig(), std::move(options)).object);
  manager->set_approval_callback([](const std::string&, const std::string&) { return true; });
  manager->start();
  return manager;
}

// The whole engine started with a real-time source and nobody connected.
std::vector<ThreadFigures> measure_idle(int seconds, UdpSocket& announcements) {
  std::uint64_t position = 0;
  auto manager = started_engine(announcements, position);
  std::this_thread::sleep_for(std::chrono::seconds(1));  // past start-up
  const ProcessSample before = sample_threads();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const ProcessSample after = sample_threads();
  manager->stop();
  return thread_figures(before, after, seconds);
}

// Milliseconds from a receiver's HELLO to its first audio frame, each on an
// engine that had been asleep (no receiver) for a while.
std::vector<double> measure_first_frames(int trials, UdpSocket& announcements) {
  std::vector<double> delays;
  for (int k = 0; k < trials; ++k) {
    std::uint64_t position = 0;
    auto manager = started_engine(announcements, position);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    BenchReceiver receiver(manager->audio_port());
    const auto hello = SteadyClock::now();
    receiver.greet(manager->pairing_code());
    const auto arrived = receiver.first_frame();
    delays.push_back(std::chrono::duration<double, std::milli>(arrived - hello).count());
    manager->stop();
  }
  return delays;
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

struct StreamingFigures {
  std::vector<double> latencies_ms;
  std::vector<ThreadFigures> threads;
};

// The pipeline StreamManager wires, with timing taps on both ends.
StreamingFigures measure_streaming(int seconds, UdpSocket& announcements) {
  auto session = std::move(SessionTransport::create(loopback_transport(announcements)).object);
  session->set_approval_callback([](const std::string&, const std::string&) { return true; });
  session->start();
  BenchReceiver receiver(session->audio_port());
  receiver.greet(session->pairing_code());
  while (session->state() != tovik::ConnectionState::Connected) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  receiver.answer_pings();

  std::uint64_t position = 0;
  auto device = music_device(position);
  FakeAudioEndpoint& fake = *device;
  auto capture = std::move(LoopbackCapture::create(std::move(device)).object);
  auto encoder = std::move(AudioEncoder::create(EncoderConfig()).object);
  AudioRing ring;
  CaptureConverter converter(ring, kRate, 2);
  TimingSink sink(*session, static_cast<std::size_t>(seconds) * 50 + 64);
  StreamingLoop loop(ring, *encoder, sink);
  StreamCounters counters;

  const ProcessSample before = sample_threads();
  LoopbackCapture& capturing = *capture;
  capture->start([&](const float* samples, std::size_t frames, int rate, int channels) {
    converter.on_audio_captured(samples, frames, rate, channels);
    loop.pump(counters);
    // As StreamManager does: nothing to do until the rest of the next frame is there.
    const std::uint64_t buffered = ring.write_pos() - ring.read_pos();
    capturing.want_more(static_cast<std::int64_t>((7680 - std::min<std::uint64_t>(buffered, 7680)) *
                                                  1000000000 / (kRate * 8)));
  });
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const ProcessSample after = sample_threads();
  capture->stop();
  receiver.stop();
  session->stop();

  StreamingFigures figures;
  figures.threads = thread_figures(before, after, seconds);
  // Frame k's first sample was delivered with device period 2k, which was
  // due one period after the stream started plus 2k periods.
  const auto period = std::chrono::microseconds(1000000 * kPeriodFrames / kRate);
  const auto& sent = sink.sent_at();
  for (std::size_t k = 0; k < sent.size(); ++k) {
    const auto delivered = fake.started() + period * static_cast<std::int64_t>(2 * k + 1);
    figures.latencies_ms.push_back(
        std::chrono::duration<double, std::milli>(sent[k] - delivered).count());
  }
  return figures;
}

// opus_encode_float alone on the same signal and number of frames, in ms
// per second of audio; with `paced`, one frame every 20 ms of real time as
// in a live stream, so that each encode starts on caches the rest of the
// machine has used meanwhile.
double raw_encode_ms_per_s(std::size_t frames, bool paced) {
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
  return 1000 * spent / (frames * 0.02);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("APPDATA", "/nonexistent/tovik-bench", 1);  // no logs from the benchmark
  const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 10;
  UdpSocket::startup();
  UdpSocket announcements;  // absorbs announcements on loopback, never a broadcast
  announcements.open();
  announcements.bind(kIpv4Loopback, 0);

  const std::vector<ThreadFigures> idle = measure_idle(seconds, announcements);
  const std::vector<double> first = measure_first_frames(5, announcements);
  const StreamingFigures streaming = measure_streaming(seconds, announcements);
  const std::size_t frames = streaming.latencies_ms.size();
  const double raw = raw_encode_ms_per_s(frames, false);
  const double paced = raw_encode_ms_per_s(frames, true);
  const ThreadFigures& idle_total = idle.back();
  const ThreadFigures& tx = streaming.threads.back();

  std::printf("| Figure | Value | Target |\n|---|---|---|\n");
  std::printf("| idle, no receiver: CPU | %.3f %% of one core | <= 0.05 %% |\n",
              idle_total.cpu_ms_per_s / 10);
  std::printf("| idle, no receiver: wake-ups | %.2f /s | <= 3 /s |\n", idle_total.wakeups_per_s);
  std::printf("| ... by thread | %s | |\n", describe_threads(idle).c_str());
  std::printf(
      "| first frame after a HELLO to the sleeping engine: median / worst of %zu | "
      "%.1f / %.1f ms | <= 100 ms |\n",
      first.size(), percentile(first, 0.5), percentile(first, 1.0));
  std::printf(
      "| capture -> sent latency, p50 / p99 / max (%zu frames) | %.2f / %.2f / %.2f ms "
      "| <= 12 / <= 20 ms |\n",
      frames, percentile(streaming.latencies_ms, 0.5), percentile(streaming.latencies_ms, 0.99),
      percentile(streaming.latencies_ms, 1.0));
  std::printf(
      "| transmitter CPU while streaming (its threads; the receiver's left out) | "
      "%.2f ms per s | |\n",
      tx.cpu_ms_per_s);
  std::printf("| ... by thread (CPU, wake-ups) | %s | |\n",
              describe_threads(streaming.threads).c_str());
  std::printf(
      "| opus_encode_float alone, back to back / paced one frame per 20 ms | %.2f / "
      "%.2f ms per s | |\n",
      raw, paced);
  std::printf("| ratio transmitter / paced encode | %.3f | <= 1.3 |\n", tx.cpu_ms_per_s / paced);
  std::printf("| ratio transmitter / back-to-back encode | %.3f | |\n", tx.cpu_ms_per_s / raw);
  return 0;
}
