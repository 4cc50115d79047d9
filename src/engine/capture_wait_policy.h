#pragma once

// How long the capture thread waits for its device before it drains anyway.
// A device that signals its packets (WASAPI's event, PulseAudio's read
// callback) is only checked now and then, so that a lost device is noticed;
// silence costs no wake-ups. Until a signal has been seen, or when packets
// were found waiting without one (events that never come, as on Windows
// before 10 1703), the device is polled: every 10 ms while audio comes,
// backing off to 40 ms in silence, well inside the device's 100 ms buffer.
class CaptureWaitPolicy {
 public:
  static constexpr int kPollMs = 10;
  static constexpr int kMaxPollMs = 40;
  static constexpr int kCheckMs = 500;

  // The stream (re)started: signals are not trusted yet.
  void restart();
  // The time-out for the next wait.
  int timeout_ms() const { return signalled_ ? kCheckMs : poll_ms_; }
  // Whether the device's signals have proved to come.
  bool trusts_signals() const { return signalled_; }
  // After a wait and the drain that followed it.
  void after_wait(bool signalled, bool found_packets);

 private:
  bool signalled_ = false;
  int poll_ms_ = kPollMs;
};
