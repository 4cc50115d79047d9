#pragma once

#include <condition_variable>
#include <mutex>

// Counts the calls in flight on one socket handle. close() must not release a
// handle while a call still uses it: the system could hand the same number to
// an unrelated socket, and the late call would then act on that one.
class SocketUsers {
 public:
  // Marks a freshly opened handle as usable.
  void open();
  // Begins one call; false when the handle is closed or closing.
  bool enter();
  // Ends a call begun by a successful enter().
  void leave();
  // Refuses new calls; true for the one caller that is to close the handle.
  bool begin_close();
  // Blocks until no call is in flight.
  void wait_idle();

 private:
  std::mutex mutex_;
  std::condition_variable idle_;
  int active_ = 0;
  bool usable_ = false;
};
