#include "tray/platform/posix/signal_pipe.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace {

constexpr char kSignalByte = 's';
constexpr char kWakeByte = 'w';

std::atomic<int> g_signal_fd{-1};
struct sigaction g_old_int;
struct sigaction g_old_term;

// Only async-signal-safe calls: one write, errno preserved.
extern "C" void on_quit_signal(int) {
  int saved = errno;
  int fd = g_signal_fd.load();
  if (fd >= 0) {
    char byte = kSignalByte;
    ssize_t ignored = write(fd, &byte, 1);
    (void)ignored;
  }
  errno = saved;
}

bool make_pipe(int fds[2]) {
  if (pipe(fds) != 0) return false;
  for (int i = 0; i < 2; ++i) {
    fcntl(fds[i], F_SETFL, fcntl(fds[i], F_GETFL) | O_NONBLOCK);
    fcntl(fds[i], F_SETFD, FD_CLOEXEC);
  }
  return true;
}

}  // namespace

SignalPipe::~SignalPipe() { close(); }

bool SignalPipe::open() {
  if (read_fd_ >= 0 || g_signal_fd.load() >= 0) return false;
  int fds[2];
  if (!make_pipe(fds)) return false;
  read_fd_ = fds[0];
  write_fd_ = fds[1];
  g_signal_fd = write_fd_;
  struct sigaction action {};
  action.sa_handler = on_quit_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &g_old_int);
  sigaction(SIGTERM, &action, &g_old_term);
  return true;
}

void SignalPipe::close() {
  if (read_fd_ < 0) return;
  sigaction(SIGINT, &g_old_int, nullptr);
  sigaction(SIGTERM, &g_old_term, nullptr);
  g_signal_fd = -1;
  ::close(read_fd_);
  ::close(write_fd_);
  read_fd_ = write_fd_ = -1;
}

void SignalPipe::wake() {
  if (write_fd_ < 0) return;
  char byte = kWakeByte;
  ssize_t ignored = write(write_fd_, &byte, 1);
  (void)ignored;
}

bool SignalPipe::drain() {
  bool signalled = false;
  char buffer[64];
  ssize_t n = 0;
  while ((n = read(read_fd_, buffer, sizeof buffer)) > 0) {
    for (ssize_t i = 0; i < n; ++i) signalled = signalled || buffer[i] == kSignalByte;
  }
  return signalled;
}
