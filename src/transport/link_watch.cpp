#include <algorithm>
#include <cstdint>

#include "app/logs.h"
#include "transport/session_transport.h"

namespace {

constexpr std::int64_t kPingIntervalNs = 2000000000;
constexpr std::int64_t kSilenceLimitMs = 5000;
constexpr std::uint32_t kLargestRttSampleMs = 5000;
const char kTransmitterTimeout[] =
    "Connection timeout \xE2\x80\x94 no packets for %lldms, disconnecting";
const char kReceiverTimeout[] = "Receiver timeout \xE2\x80\x94 no packets for %lldms";

}  // namespace

// The silence test first: a pass that sends a PING has then also judged the
// silence at the same time.
void SessionTransport::run_link_timers(const char* timeout_format) {
  check_silence(timeout_format);
  send_ping_if_due();
}

// When the next PING or the silence limit falls due; none without a peer.
std::int64_t SessionTransport::next_link_timer_ns() const {
  if (!connected_) return kNoDeadline;
  std::int64_t next = last_ping_ns_ + kPingIntervalNs;
  const std::int64_t last_rx = last_rx_ms_;
  if (state_ == tovik::ConnectionState::Connected && last_rx > 0) {
    next = std::min(next, (last_rx + kSilenceLimitMs + 1) * 1000000);
  }
  return next;
}

void SessionTransport::send_ping_if_due() {
  if (!connected_) return;
  const std::int64_t now_ns = clock_->now_ns();
  if (now_ns - last_ping_ns_ < kPingIntervalNs) return;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (connected_ && socket_.is_open()) {
      std::string ping = build_ping(now_ns / 1000000);
      socket_.send_to(ping.data(), ping.size(), peer_);
    }
  }
  last_ping_ns_ = now_ns;
}

void SessionTransport::answer_ping(const std::uint8_t* data, std::size_t size,
                                   const SocketAddress& from) {
  if (!socket_.is_open()) return;
  std::string pong = build_pong(data, size);
  socket_.send_to(pong.data(), pong.size(), from);
}

void SessionTransport::take_pong(const std::uint8_t* data, std::size_t size) {
  std::optional<std::int64_t> echoed = parse_pong(data, size);
  if (!echoed) return;
  // Unsigned on purpose: an echo from the future becomes a huge sample and is dropped.
  const auto sample = static_cast<std::uint32_t>(static_cast<std::uint64_t>(now_ms()) -
                                                 static_cast<std::uint64_t>(*echoed));
  if (sample > kLargestRttSampleMs) return;
  const int old = rtt_ms_;
  rtt_ms_ = old > 0 ? static_cast<int>(0.7 * old + 0.3 * sample) : static_cast<int>(sample);
}

const char* SessionTransport::timeout_line() const {
  return role_ == SessionRole::Transmitter ? kTransmitterTimeout : kReceiverTimeout;
}

void SessionTransport::check_silence(const char* timeout_format) {
  if (!connected_ || state_ != tovik::ConnectionState::Connected) return;
  const std::int64_t last = last_rx_ms_;
  if (last <= 0) return;
  const std::int64_t elapsed = now_ms() - last;
  if (elapsed <= kSilenceLimitMs) return;
  connection_logf(timeout_format, static_cast<long long>(elapsed));
  connected_ = false;
  last_rx_ms_ = 0;
  rtt_ms_ = 0;
  set_state(tovik::ConnectionState::Searching, std::string());
}
