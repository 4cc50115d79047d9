#pragma once

#include <cstdint>
#include <optional>
#include <string>

// When to greet the transmitter again, and with which code. A transmitter
// that dropped the link (5 s of silence) or restarted sends nothing until it
// hears a new HELLO, and a restarted one has drawn a new pairing code. So
// when frames stop the receiver greets again, once a second. A transmitter
// that accepted us remembers our id and lets us in without a code, so once
// frames have followed a greeting, greetings go without a code first, then
// with the configured one in turn (in case we were forgotten). Before that,
// the configured code every time: nothing is bypassed.
class RejoinPolicy {
 public:
  static constexpr std::int64_t kStaleMs = 600;   // frames missing this long: greet
  static constexpr std::int64_t kRetryMs = 1000;  // between greetings

  explicit RejoinPolicy(std::string code) : code_(std::move(code)) {}
  // A HELLO with the configured code (or, with empty_code, none) went out.
  void on_greeted(std::int64_t now_ms, bool empty_code = false);
  // A frame arrived.
  void on_frame(std::int64_t now_ms);
  // The code to greet with now, or nothing.
  std::optional<std::string> poll(std::int64_t now_ms);
  // Whether frames followed one of our HELLOs.
  bool accepted() const { return accepted_; }

 private:
  std::string code_;
  bool greeted_ = false;
  bool accepted_ = false;
  bool last_was_empty_ = false;
  bool frames_since_hello_ = false;
  std::int64_t last_hello_ms_ = 0;
  std::int64_t last_frame_ms_ = 0;
};
