// tovik-receive: finds a Tovik transmitter (or greets one given), and plays
// its stream through an adaptive jitter buffer, or writes it to a file.
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "console.h"
#include "receive_options.h"
#include "receiver.h"
#include "receiver_state.h"
#include "sink_factory.h"
#include "status_line.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

void print_status(const Receiver& receiver, bool redraw) {
  const std::string line = format_status(receiver.stats(), receiver.rtt_ms(), receiver.state());
  if (redraw) {
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
  } else {
    std::fprintf(stderr, "%s\n", line.c_str());
  }
  std::fflush(stderr);
}

void run_until_stopped(const Receiver& receiver, const ReceiveOptions& options) {
  const bool redraw = stderr_is_terminal();
  const auto start = SteadyClock::now();
  auto next_status = start + std::chrono::seconds(1);
  const auto limit = std::chrono::duration<double>(options.duration_s);
  while (!stop_requested()) {
    const auto now = SteadyClock::now();
    if (options.duration_s > 0 && now - start >= limit) break;
    if (!options.quiet && now >= next_status) {
      print_status(receiver, redraw);
      next_status += std::chrono::seconds(1);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!options.quiet && redraw) std::fputc('\n', stderr);
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  auto options = parse_receive_options(std::vector<std::string>(argv + 1, argv + argc), &error);
  if (!options) {
    std::fprintf(stderr, "tovik-receive: %s\n%s", error.c_str(), kReceiveUsage);
    return 2;
  }
  if (options->help) {
    std::fputs(kReceiveUsage, stdout);
    return 0;
  }
  std::unique_ptr<AudioSink> sink = make_sink(*options);
  if (!sink) {
    std::fprintf(stderr, "tovik-receive: no sound output here; use --out\n");
    return 2;
  }
  install_stop_handler();
  // Our own id, unless one was given: transmitters remember it, and those
  // that did are greeted without a code.
  ReceiverState state(receiver_state_folder());
  if (options->receiver.id.empty()) {
    options->receiver.id = state.id();
    options->receiver.known_transmitters = state.transmitters();
    options->receiver.on_accepted = [&state](const std::string& id) {
      state.remember_transmitter(id);
    };
  }
  Receiver receiver(options->receiver, *sink);
  const ErrorCode code = receiver.start();
  if (code != ErrorCode::Ok) {
    std::fprintf(stderr, "tovik-receive: %s\n", error_message(code));
    return 1;
  }
  run_until_stopped(receiver, *options);
  receiver.stop();
  const ReceiveStats s = receiver.stats();
  std::fprintf(
      stderr,
      "tovik-receive: frames=%llu lost=%llu concealed=%llu silent=%llu late=%llu "
      "duplicate=%llu inserted=%llu skipped=%llu stretched=%llu resyncs=%llu "
      "rejoins=%d moves=%d buffer_ms=%.1f target_ms=%.1f\n",
      static_cast<unsigned long long>(s.frames), static_cast<unsigned long long>(s.lost),
      static_cast<unsigned long long>(s.concealed), static_cast<unsigned long long>(s.silent),
      static_cast<unsigned long long>(s.late), static_cast<unsigned long long>(s.duplicate),
      static_cast<unsigned long long>(s.inserted), static_cast<unsigned long long>(s.skipped),
      static_cast<unsigned long long>(s.stretched), static_cast<unsigned long long>(s.resyncs),
      receiver.rejoins(), receiver.moves(), s.buffer_ms, s.target_ms);
  return 0;
}
