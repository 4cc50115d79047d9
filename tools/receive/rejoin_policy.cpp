#include "rejoin_policy.h"

void RejoinPolicy::on_greeted(std::int64_t now_ms, bool empty_code) {
  greeted_ = true;
  last_hello_ms_ = now_ms;
  last_was_empty_ = empty_code;
  frames_since_hello_ = false;
}

void RejoinPolicy::on_frame(std::int64_t now_ms) {
  last_frame_ms_ = now_ms;
  // A frame from before the last HELLO says nothing about its answer.
  if (!greeted_ || frames_since_hello_ || now_ms < last_hello_ms_) return;
  frames_since_hello_ = true;
  accepted_ = true;
}

std::optional<std::string> RejoinPolicy::poll(std::int64_t now_ms) {
  if (!greeted_) return std::nullopt;
  if (frames_since_hello_ && now_ms - last_frame_ms_ < kStaleMs) return std::nullopt;
  if (now_ms - last_hello_ms_ < kRetryMs) return std::nullopt;
  // Once accepted: no code first, the configured one after that went unanswered.
  const bool empty = code_.empty() || (accepted_ && (frames_since_hello_ || !last_was_empty_));
  on_greeted(now_ms, empty);
  return empty ? std::string() : code_;
}
