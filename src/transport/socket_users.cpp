#include "transport/socket_users.h"

void SocketUsers::open() {
  std::lock_guard<std::mutex> lock(mutex_);
  usable_ = true;
}

bool SocketUsers::enter() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!usable_) return false;
  ++active_;
  return true;
}

void SocketUsers::leave() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (--active_ == 0) idle_.notify_all();
}

bool SocketUsers::begin_close() {
  std::lock_guard<std::mutex> lock(mutex_);
  const bool was_usable = usable_;
  usable_ = false;
  return was_usable;
}

void SocketUsers::wait_idle() {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return active_ == 0; });
}
