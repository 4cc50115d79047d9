#include "status_line.h"

#include <cstdio>

namespace {

const char* state_text(tovik::ConnectionState state) {
  switch (state) {
    case tovik::ConnectionState::Disconnected:
      return "disconnected";
    case tovik::ConnectionState::Searching:
      return "searching";
    case tovik::ConnectionState::Connecting:
      return "connecting";
    case tovik::ConnectionState::ApprovalPending:
      return "approval pending";
    case tovik::ConnectionState::Connected:
      return "connected";
    case tovik::ConnectionState::Reconnecting:
      return "reconnecting";
  }
  return "?";
}

}  // namespace

std::string format_status(const ReceiveStats& s, int rtt_ms, tovik::ConnectionState state) {
  char line[256];
  std::snprintf(
      line, sizeof line,
      "%s%s | frames %llu lost %llu concealed %llu late %llu dup %llu | "
      "buffer %.0f ms (target %.0f, jitter %.0f) | rtt %d ms",
      state_text(state), s.playing ? ", playing" : "", static_cast<unsigned long long>(s.frames),
      static_cast<unsigned long long>(s.lost), static_cast<unsigned long long>(s.concealed),
      static_cast<unsigned long long>(s.late), static_cast<unsigned long long>(s.duplicate),
      s.buffer_ms, s.target_ms, s.jitter_ms, rtt_ms);
  return line;
}
