#include "app/log_bursts.h"

#include <algorithm>
#include <cstdio>

#include "app/logs.h"

std::vector<std::string> LogBursts::on_line(const std::string& line, std::int64_t now_ms) {
  std::vector<std::string> out = flush(now_ms);
  auto it = std::find_if(recent_.begin(), recent_.end(),
                         [&](const Recent& recent) { return recent.line == line; });
  if (it != recent_.end()) {
    ++it->held;
    it->last_ms = now_ms;
    return out;
  }
  if (recent_.size() >= kTracked) {
    close(recent_.front(), out);
    recent_.erase(recent_.begin());
  }
  recent_.push_back({line, now_ms, 0});
  out.push_back(line);
  return out;
}

std::vector<std::string> LogBursts::flush(std::int64_t now_ms, bool all) {
  std::vector<std::string> out;
  auto ended = [&](const Recent& recent) { return all || now_ms - recent.last_ms > kWindowMs; };
  for (Recent& recent : recent_) {
    if (ended(recent)) close(recent, out);
  }
  recent_.erase(std::remove_if(recent_.begin(), recent_.end(), ended), recent_.end());
  return out;
}

void LogBursts::close(Recent& recent, std::vector<std::string>& out) {
  if (recent.held == 0) return;
  char summary[kLogLineSize];
  std::snprintf(summary, sizeof summary, "Repeated %llu more times: %s",
                static_cast<unsigned long long>(recent.held), recent.line.c_str());
  out.push_back(summary);
  recent.held = 0;
}
