// tovik-receive: finds a Tovik transmitter (or greets one given), and plays
// its stream through an adaptive jitter buffer, or writes it to a file.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
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

int ms_until(SteadyClock::time_point when) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - SteadyClock::now());
  return static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
}

// Sleeps until a stop signal, the end of --duration or the next status line.
void run_until_stopped(const Receiver& receiver, const ReceiveOptions& options) {
  const bool redraw = stderr_is_terminal();
  const auto start = SteadyClock::now();
  auto next_status = start + std::chrono::seconds(1);
  const auto end = start + std::chrono::duration_cast<SteadyClock::duration>(
                               std::chrono::duration<double>(options.duration_s));
  for (;;) {
    int wait_ms = options.quiet ? -1 : ms_until(next_status);
    if (options.duration_s > 0) {
      wait_ms = wait_ms < 0 ? ms_until(end) : std::min(wait_ms, ms_until(end));
    }
    if (wait_for_stop(wait_ms)) break;
    const auto now = SteadyClock::now();
    if (options.duration_s > 0 && now >= end) break;
    if (!options.quiet && now >= next_status) {
      print_status(receiver, redraw);
      next_status += std::chrono::seconds(1);
    }
  }
  if (!options.quiet && redraw) std::fputc('\n', stderr);
}

// Without --code, in a terminal (a Start-menu entry opens one): ask. An
// empty answer goes on without a code, as a transmitter that knows this
// receiver lets it in anyway.
void ask_for_code(ReceiveOptions* options) {
  if (!options->receiver.code.empty() || !stdin_is_terminal()) return;
  std::string line;
  for (;;) {
    std::fputs("Pairing code shown by Tovik (Enter if it knows this receiver): ", stderr);
    std::fflush(stderr);
    if (!std::getline(std::cin, line)) return;
    if (auto code = parse_typed_code(line)) {
      options->receiver.code = *code;
      return;
    }
    std::fputs("That is not six digits.\n", stderr);
  }
}

// Leaves a failure readable in a console that would close with the process.
int failed(int status) {
  if (console_closes_on_exit() && stdin_is_terminal()) {
    std::fputs("Press Enter to close.", stderr);
    std::getchar();
  }
  return status;
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
    return failed(2);
  }
  ask_for_code(&*options);
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
  // A receiver that cannot play ends with a failure, so that whoever started
  // it (a service manager) can start it again.
  options->receiver.on_output_failed = request_stop;
  Receiver receiver(options->receiver, *sink);
  const ErrorCode code = receiver.start();
  if (code != ErrorCode::Ok) {
    std::fprintf(stderr, "tovik-receive: %s\n", error_message(code));
    return failed(1);
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
  if (receiver.output_failed()) {
    std::fprintf(stderr, "tovik-receive: the sound output failed\n");
    return failed(1);
  }
  return 0;
}
