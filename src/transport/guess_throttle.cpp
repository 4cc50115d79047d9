#include "transport/guess_throttle.h"

#include <algorithm>

GuessThrottle::GuessThrottle() { sources_.reserve(kSources); }

bool GuessThrottle::allows(std::uint32_t ip, std::int64_t now_ms) {
  refill(now_ms);
  if (credit_ms_ < kRefillMs) return false;
  const Source* source = find(ip);
  return source == nullptr || now_ms >= source->locked_until_ms;
}

void GuessThrottle::failed(std::uint32_t ip, std::int64_t now_ms) {
  refill(now_ms);
  credit_ms_ = std::max<std::int64_t>(credit_ms_ - kRefillMs, 0);
  Source& source = find_or_add(ip, now_ms);
  const std::int64_t quiet_since = std::max(source.last_failure_ms, source.locked_until_ms);
  if (source.failures + source.lockouts > 0 && now_ms - quiet_since > kForgetMs) source = {ip};
  source.last_failure_ms = now_ms;
  if (++source.failures < kFreeFailures) return;
  const int doublings = std::min(source.lockouts, 10);
  source.locked_until_ms = now_ms + std::min(kFirstLockoutMs << doublings, kLongestLockoutMs);
  ++source.lockouts;
  source.failures = 0;
}

void GuessThrottle::succeeded(std::uint32_t ip) {
  if (Source* source = find(ip)) *source = {ip};
}

GuessThrottle::Source* GuessThrottle::find(std::uint32_t ip) {
  auto it = std::find_if(sources_.begin(), sources_.end(),
                         [ip](const Source& source) { return source.ip == ip; });
  return it == sources_.end() ? nullptr : &*it;
}

// A full table gives up the source that failed longest ago, preferring one
// that is not locked out: forged addresses cannot flush a real attacker out
// cheaply, and the budget bounds them anyway.
GuessThrottle::Source& GuessThrottle::find_or_add(std::uint32_t ip, std::int64_t now_ms) {
  if (Source* source = find(ip)) return *source;
  if (sources_.size() < kSources) {
    sources_.push_back({ip});
    return sources_.back();
  }
  auto older = [now_ms](const Source& a, const Source& b) {
    const bool a_locked = now_ms < a.locked_until_ms;
    const bool b_locked = now_ms < b.locked_until_ms;
    if (a_locked != b_locked) return b_locked;
    return a.last_failure_ms < b.last_failure_ms;
  };
  Source& victim = *std::min_element(sources_.begin(), sources_.end(), older);
  victim = {ip};
  return victim;
}

void GuessThrottle::refill(std::int64_t now_ms) {
  if (!started_) {
    started_ = true;
    refilled_ms_ = now_ms;
  }
  if (now_ms <= refilled_ms_) return;
  credit_ms_ = std::min(credit_ms_ + (now_ms - refilled_ms_), kBudget * kRefillMs);
  refilled_ms_ = now_ms;
}
