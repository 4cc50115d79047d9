#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

#include "console.h"

namespace {

std::atomic<bool> g_stop{false};

sigset_t stop_signals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

// The stop signals are blocked in every thread (they inherit the mask) and
// taken by the main thread in wait_for_stop, which sleeps until one comes.
void install_stop_handler() {
  const sigset_t set = stop_signals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  // A closed pipe on stdout ends the run through write failures, not SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
}

bool stop_requested() { return g_stop; }

// The main thread takes the signal in wait_for_stop (every thread blocks it).
void request_stop() {
  g_stop = true;
  kill(getpid(), SIGTERM);
}

bool wait_for_stop(int timeout_ms) {
  if (g_stop) return true;
  const sigset_t set = stop_signals();
  int taken = -1;
  if (timeout_ms < 0) {
    do {
      taken = sigwaitinfo(&set, nullptr);
    } while (taken < 0 && errno == EINTR);
  } else {
    const timespec timeout{timeout_ms / 1000, (timeout_ms % 1000) * 1000000L};
    taken = sigtimedwait(&set, nullptr, &timeout);
  }
  if (taken > 0) g_stop = true;
  return g_stop;
}

bool stderr_is_terminal() { return isatty(STDERR_FILENO) == 1; }

bool stdin_is_terminal() { return isatty(STDIN_FILENO) == 1; }

bool console_closes_on_exit() { return false; }
