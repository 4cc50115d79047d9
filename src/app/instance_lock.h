#pragma once

#include <cstdint>

// The text a second start shows before it exits.
constexpr char kAlreadyRunningText[] = "Tovik is already running.";

// The claim of being the one Tovik of this user session, in tray and terminal
// mode alike. Windows: the named mutex "Local\Tovik.Instance" in the
// session's own namespace (the installer checks the same name); Linux: an
// flock on "tovik.lock" in $XDG_RUNTIME_DIR, or in the storage folder where
// there is no runtime folder. The system gives the claim up when the process
// ends, however it ends.
class InstanceLock {
 public:
  InstanceLock() = default;
  ~InstanceLock();  // gives the claim up
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // True when this process holds the claim now; false when another process
  // of the session holds it. Where nothing can be checked (no folder for the
  // lock, a system error) the answer is true: a user must never be locked out.
  bool claim();

 private:
  std::intptr_t handle_ = -1;  // the mutex handle or the lock file descriptor
};
