// Receiver benchmarks, printed as a Markdown table:
//  - end-to-end latency: a real-time fake source marks one sample every
//    200 ms; the time from that sample's production to the same sample
//    leaving the receiver's output (its sink's timeline), p50/p99, with the
//    adaptive target and with --latency 0, over a loopback session;
//  - receiver CPU while playing, by thread (the keepalive shown apart):
//    tovik-receive as a child process writing a WAV file to /dev/null, and,
//    when PULSE_SERVER names a sound server, playing through it;
//  - delay drift over 10 simulated minutes with a 0.01 % clock mismatch.
//   tovik_receive_bench [--seconds S] [--receiver PATH-TO-tovik-receive]
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "paced_sink.h"
#include "playout_engine.h"
#include "receiver.h"
#include "reference_encoder.h"
#include "signal_streamer.h"
#include "thread_figures.h"
#include "transport/steady_clock.h"

extern char** environ;

namespace {

constexpr int kMarkEveryFrames = 10;
constexpr int kBurst = 96;  // 2 ms of 2 kHz at the marked sample

std::int64_t now_ns() { return system_steady_clock().now_ns(); }

std::unique_ptr<SessionTransport> loopback_transmitter() {
  TransportConfig config;
  config.device_name = "Bench PC";
  config.device_id = "tovik-bench00000000001";
  config.audio_port = 0;
  config.discovery.port = 9;
  config.discovery.broadcast_ip = kIpv4Loopback;
  auto session = SessionTransport::create(config).object;
  session->set_approval_callback([](const std::string&, const std::string&) { return true; });
  if (session->start() != ErrorCode::Ok) return nullptr;
  return session;
}

// Notes when each marked burst leaves the output.
class DetectingSink : public AudioSink {
 public:
  ErrorCode open() override { return ErrorCode::Ok; }
  int period_frames() const override { return kSinkPeriodFrames; }
  bool write(const float* samples, int frames) override {
    const std::int64_t start = now_ns();
    std::lock_guard<std::mutex> guard(mutex_);
    for (int k = 0; k < frames; ++k) {
      const float x = std::fabs(samples[2 * k]);
      quiet_ = x < 0.05f ? quiet_ + 1 : 0;
      if (x > 0.3f && armed_) {
        detections_.push_back(start + static_cast<std::int64_t>(k * 1e9 / 48000));
        armed_ = false;
      }
      if (quiet_ > 2400) armed_ = true;  // 50 ms of quiet before the next burst
    }
    return true;
  }
  void close() override {}
  std::vector<std::int64_t> detections() {
    std::lock_guard<std::mutex> guard(mutex_);
    return detections_;
  }

 private:
  std::mutex mutex_;
  int quiet_ = 0;
  bool armed_ = true;
  std::vector<std::int64_t> detections_;
};

struct LatencyFigures {
  double p50 = 0, p99 = 0, mean = 0;
  std::size_t count = 0;
  ReceiveStats stats;
};

LatencyFigures measure_latency(int latency_option, double seconds) {
  LatencyFigures figures;
  auto transmitter = loopback_transmitter();
  if (!transmitter) return figures;
  SignalSpec silence;
  silence.amplitude = 0;
  SignalStreamer streamer(*transmitter, silence);
  std::mutex marks_mutex;
  std::vector<std::int64_t> marks;  // production time of each marked sample
  const std::int64_t stream_start = now_ns();
  streamer.set_frame_hook([&](std::int64_t first, float* pcm) {
    const std::int64_t frame = first / 960;
    if (frame % kMarkEveryFrames != 0) return;
    const int offset = static_cast<int>((frame * 7919) % (960 - kBurst));
    for (int k = 0; k < kBurst; ++k) {
      const float v = 0.8f * static_cast<float>(std::sin(2 * 3.14159265 * 2000 * k / 48000.0));
      pcm[2 * (offset + k)] = pcm[2 * (offset + k) + 1] = (k == 0 ? 0.8f : v);
    }
    // The fake source produced sample first + offset at this real time.
    std::lock_guard<std::mutex> guard(marks_mutex);
    marks.push_back(stream_start + (first + offset) * 1000000000ll / 48000);
  });
  PacedSink sink(std::make_unique<DetectingSink>());
  ReceiverConfig config;
  config.code = transmitter->pairing_code();
  config.to = SocketAddress{kIpv4Loopback, transmitter->audio_port()};
  config.latency_ms = latency_option;
  Receiver receiver(config, sink);
  if (receiver.start() != ErrorCode::Ok || streamer.start() != ErrorCode::Ok) return figures;
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  streamer.stop();
  receiver.stop();
  figures.stats = receiver.stats();
  std::vector<double> latencies;
  const std::vector<std::int64_t> detections =
      static_cast<DetectingSink&>(sink.inner()).detections();
  std::lock_guard<std::mutex> guard(marks_mutex);
  for (std::int64_t detected : detections) {
    // The latest mark produced before the detection (marks are 200 ms apart).
    auto it = std::upper_bound(marks.begin(), marks.end(), detected);
    if (it == marks.begin()) continue;
    latencies.push_back(static_cast<double>(detected - *(it - 1)) / 1e6);
  }
  // The first second settles (connection, first anchor).
  if (latencies.size() > 5) latencies.erase(latencies.begin(), latencies.begin() + 5);
  if (latencies.empty()) return figures;
  std::sort(latencies.begin(), latencies.end());
  figures.count = latencies.size();
  figures.p50 = latencies[latencies.size() / 2];
  figures.p99 = latencies[std::min(latencies.size() - 1, latencies.size() * 99 / 100)];
  double sum = 0;
  for (double l : latencies) sum += l;
  figures.mean = sum / static_cast<double>(latencies.size());
  return figures;
}

// The threads of a tovik-receive child playing a tone for `seconds`, from
// 1.5 s after its start to 1 s before its end: to a WAV file on /dev/null,
// or (to_server) to the sound server PULSE_SERVER names.
std::vector<ThreadFigures> measure_receiver_threads(const std::string& receiver_path,
                                                    double seconds, bool to_server) {
  auto transmitter = loopback_transmitter();
  if (!transmitter || receiver_path.empty() || seconds < 4) return {};
  SignalSpec tone;
  tone.frequency_hz = 997;
  SignalStreamer streamer(*transmitter, tone);
  if (streamer.start() != ErrorCode::Ok) return {};
  const std::string to = "127.0.0.1:" + std::to_string(transmitter->audio_port());
  std::vector<std::string> args = {
      receiver_path,           "--to",   to, "--code", transmitter->pairing_code(), "--duration",
      std::to_string(seconds), "--quiet"};
  if (!to_server) args.insert(args.end(), {"--out", "/dev/null"});
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, receiver_path.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
    return {};
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  const ProcessSample before = sample_threads(pid);
  const double span = seconds - 2.5;
  std::this_thread::sleep_for(std::chrono::duration<double>(span));
  const ProcessSample after = sample_threads(pid);
  int status = 0;
  waitpid(pid, &status, 0);
  streamer.stop();
  return thread_figures(before, after, span, pid);
}

void print_receiver_cpu(const char* output, const std::vector<ThreadFigures>& threads) {
  if (threads.empty()) return;
  double keepalive = 0;
  for (const ThreadFigures& t : threads) {
    if (t.name == "tovik-keepalive") keepalive = t.cpu_ms_per_s;
  }
  const double total = threads.back().cpu_ms_per_s;
  std::printf(
      "| Receiver CPU while playing (%s): without / with the 10 ms keepalive | %.2f / %.2f %% "
      "of one core | <= 1 %% without |\n",
      output, (total - keepalive) / 10, total / 10);
  std::printf("| ... by thread (CPU, wake-ups) | %s | |\n", describe_threads(threads).c_str());
}

// The playout engine on simulated time: frames from a clock `ratio` times
// ours, 5 ms output chunks, ten minutes. The worst |delay - target| after the
// first 5 s, and the decode+render CPU per second of audio.
void measure_drift(double ratio, double* worst_ms, double* final_error_ms, double* cpu_share) {
  PlayoutEngine engine(-1);
  engine.init();
  ReferenceEncoder encoder;
  encoder.init();
  std::vector<std::vector<std::uint8_t>> packets;
  std::vector<float> pcm(1920);
  std::uint8_t packet[1500];
  for (int k = 0; k < 50; ++k) {
    fill_signal(SignalSpec{}, k * 960, pcm.data(), 960);
    const int n = encoder.encode(pcm.data(), packet, sizeof packet);
    packets.emplace_back(packet, packet + std::max(n, 0));
  }
  static QueuedFrame frame;
  float out[480];
  const std::int64_t start = 1000000000;
  std::int64_t t = start;
  int next = 0;
  *worst_ms = 0;
  const auto cpu_start = std::clock();
  for (int chunk = 0; chunk < 600 * 200; ++chunk, t += 5000000) {
    for (;;) {
      const std::int64_t arrival =
          start + static_cast<std::int64_t>(static_cast<double>(next) * 2e7 * ratio);
      if (arrival > t) break;
      const auto& p = packets[next % packets.size()];
      frame.sequence = static_cast<std::uint32_t>(next);
      frame.arrival_ns = arrival;
      frame.size = static_cast<std::uint16_t>(p.size());
      std::memcpy(frame.payload, p.data(), p.size());
      engine.receive(frame);
      ++next;
    }
    engine.render(out, 240, t);
    if (chunk >= 1000) {
      const ReceiveStats s = engine.stats();
      *worst_ms = std::max(*worst_ms, std::fabs(s.buffer_ms - s.target_ms));
    }
  }
  const double cpu = static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
  const ReceiveStats s = engine.stats();
  *final_error_ms = s.buffer_ms - s.target_ms;
  *cpu_share = cpu / 600.0;
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = 20;
  std::string receiver_path;
  for (int k = 1; k + 1 < argc; k += 2) {
    if (std::string(argv[k]) == "--seconds") seconds = std::atof(argv[k + 1]);
    if (std::string(argv[k]) == "--receiver") receiver_path = argv[k + 1];
  }
  std::printf("| Figure | Value | Target |\n|---|---|---|\n");
  const struct {
    const char* name;
    int option;
    double target;
  } modes[] = {{"adaptive (default)", -1, 60}, {"--latency 0", 0, 40}};
  for (const auto& mode : modes) {
    const LatencyFigures f = measure_latency(mode.option, seconds);
    std::printf(
        "| End-to-end latency, %s: p50 / p99 / mean (%zu marks) | %.1f / %.1f / %.1f ms "
        "| p50 <= %.0f ms |\n",
        mode.name, f.count, f.p50, f.p99, f.mean, mode.target);
    std::printf(
        "| ... receiver during that run: frames / lost / late / target | %llu / %llu / %llu "
        "/ %.1f ms | |\n",
        static_cast<unsigned long long>(f.stats.frames),
        static_cast<unsigned long long>(f.stats.lost),
        static_cast<unsigned long long>(f.stats.late), f.stats.target_ms);
    std::fflush(stdout);
  }
  print_receiver_cpu("WAV to /dev/null", measure_receiver_threads(receiver_path, seconds, false));
  if (std::getenv("PULSE_SERVER") != nullptr) {
    print_receiver_cpu("PulseAudio", measure_receiver_threads(receiver_path, seconds, true));
  }
  for (double ratio : {1.0001, 0.9999}) {
    double worst = 0, final_error = 0, engine_cpu = 0;
    measure_drift(ratio, &worst, &final_error, &engine_cpu);
    std::printf(
        "| Delay vs target, 10 simulated min, transmitter clock x%.4f: worst / final | "
        "%.2f / %+.2f ms | within +-5 ms |\n",
        ratio, worst, final_error);
    std::printf("| ... playout engine alone (decode, buffer, render) | %.3f %% of one core | |\n",
                engine_cpu * 100);
  }
  return 0;
}
