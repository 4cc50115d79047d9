#include "app/shell/refusal_notices.h"

#include <algorithm>

#include "transport/receiver_memory.h"
#include "transport/udp_socket.h"
#include "tray/utf8_text.h"

bool RefusalNotices::should_show(std::uint32_t source_ip, std::int64_t now_ms) {
  if (!started_) {
    started_ = true;
    refilled_ms_ = now_ms;
  }
  credit_ms_ =
      std::min(credit_ms_ + std::max<std::int64_t>(now_ms - refilled_ms_, 0), kBurst * kRefillMs);
  refilled_ms_ = std::max(refilled_ms_, now_ms);
  auto it = std::find_if(shown_.begin(), shown_.end(),
                         [source_ip](const Shown& s) { return s.ip == source_ip; });
  if (it != shown_.end() && now_ms - it->at_ms < kPerSourceMs) return false;
  if (credit_ms_ < kRefillMs) return false;
  credit_ms_ -= kRefillMs;
  if (it != shown_.end()) shown_.erase(it);
  if (shown_.size() >= kSources) shown_.erase(shown_.begin());
  shown_.push_back({source_ip, now_ms});
  return true;
}

std::string refusal_notice_text(const tovik::RefusedHello& refused) {
  std::string name = safe_receiver_name(refused.name);
  if (!is_valid_utf8(name)) name = "?";
  const char* why =
      refused.reason == tovik::RefusalReason::NoCode ? "no pairing code" : "wrong pairing code";
  return "Refused a connection from '" + name + "' (" + format_ipv4(refused.source_ip) +
         "): " + why;
}
