#include <signal.h>
#include <unistd.h>

#include <csignal>

#include "console.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void on_stop_signal(int) { g_stop = 1; }

}  // namespace

void install_stop_handler() {
  struct sigaction action {};
  action.sa_handler = on_stop_signal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  // A closed pipe on stdout ends the run through write failures, not SIGPIPE.
  signal(SIGPIPE, SIG_IGN);
}

bool stop_requested() { return g_stop != 0; }

bool stderr_is_terminal() { return isatty(STDERR_FILENO) == 1; }
