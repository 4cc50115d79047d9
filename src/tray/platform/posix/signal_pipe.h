#pragma once

// A self-pipe that SIGINT and SIGTERM write to while it is open, so a loop
// can handle them on its own thread; at most one is open at a time. Any
// thread may wake the loop through it too.
class SignalPipe {
 public:
  SignalPipe() = default;
  ~SignalPipe();  // closes
  SignalPipe(const SignalPipe&) = delete;
  SignalPipe& operator=(const SignalPipe&) = delete;

  // Creates the pipe and installs the two handlers; false on failure (or
  // when another SignalPipe is open).
  bool open();
  // Restores the previous handlers and closes the pipe; idempotent.
  void close();
  // The end to poll for reading; -1 when closed.
  int read_fd() const { return read_fd_; }
  // Wakes the reader; any thread. Never blocks (a full pipe is awake already).
  void wake();
  // Empties the pipe without blocking; true when a signal arrived since the
  // last call.
  bool drain();

 private:
  int read_fd_ = -1;
  int write_fd_ = -1;
};
