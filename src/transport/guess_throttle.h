#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Makes guessing the pairing code hopeless. Every HELLO that an unknown
// receiver gets refused (no code, wrong code) is a failure. A source address
// may fail a few times, then it is ignored for a time that doubles with each
// lockout; and all sources together may fail only as fast as a slowly
// refilling budget allows, so forged source addresses buy nothing. With the
// budget's rate, finding one of 10^6 codes takes about three months of
// guessing on average. Not thread-safe: the listen thread owns it.
class GuessThrottle {
 public:
  static constexpr int kFreeFailures = 5;  // per source, before a lockout
  static constexpr std::int64_t kFirstLockoutMs = 30000;
  static constexpr std::int64_t kLongestLockoutMs = 15 * 60000;
  static constexpr std::int64_t kForgetMs = 60 * 60000;  // a source quiet this long starts afresh
  static constexpr int kBudget = 10;                     // failures all sources may burst
  static constexpr std::int64_t kRefillMs = 15000;       // one more failure allowed per interval
  static constexpr std::size_t kSources = 256;           // sources tracked at once

  GuessThrottle();
  // Whether a HELLO from an unknown receiver at `ip` is looked at now;
  // false while the source is locked out or the budget is spent.
  bool allows(std::uint32_t ip, std::int64_t now_ms);
  // The HELLO from `ip` was refused.
  void failed(std::uint32_t ip, std::int64_t now_ms);
  // The HELLO from `ip` proved the code: its failures are forgiven.
  void succeeded(std::uint32_t ip);

 private:
  struct Source {
    std::uint32_t ip = 0;
    int failures = 0;
    int lockouts = 0;
    std::int64_t locked_until_ms = 0;
    std::int64_t last_failure_ms = 0;
  };
  Source* find(std::uint32_t ip);
  Source& find_or_add(std::uint32_t ip, std::int64_t now_ms);
  void refill(std::int64_t now_ms);

  std::vector<Source> sources_;
  // The budget as time: each failure costs kRefillMs, time earns it back.
  std::int64_t credit_ms_ = kBudget * kRefillMs;
  std::int64_t refilled_ms_ = 0;
  bool started_ = false;
};
