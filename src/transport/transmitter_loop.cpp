#include "app/logs.h"
#include "transport/session_transport.h"
#include "transport/thread_name.h"

void SessionTransport::transmitter_listen_loop() {
  name_this_thread("tovik-listen");
  connection_logf("Transmitter listen loop started on port %d", socket_.local_port());
  std::uint8_t buffer[kSessionDatagramMax];
  while (running_) {
    run_link_timers(timeout_line());
    flush_log_bursts();
    std::size_t received = 0;
    SocketAddress from;
    if (receive_one(buffer, &received, &from)) handle_datagram(buffer, received, from);
  }
}

// Waits for a datagram until the next link timer is due; without a peer
// there is none, and only a datagram or stop ends the wait.
bool SessionTransport::receive_one(std::uint8_t* buffer, std::size_t* received,
                                   SocketAddress* from) {
  const int wait_ms = clock_->wait_ms(next_link_timer_ns());
  const int n = socket_.receive_from(buffer, kSessionDatagramMax, from, wait_ms);
  if (n <= 0) return false;
  *received = static_cast<std::size_t>(n);
  return true;
}

void SessionTransport::handle_datagram(const std::uint8_t* data, std::size_t size,
                                       const SocketAddress& from) {
  // Strangers may send a transmitter anything; only the peer's datagrams
  // keep the link alive, time it or steer the stream. (The receiver role
  // takes what comes from anywhere, as before.)
  const bool from_peer = role_ == SessionRole::Receiver || is_peer(from);
  if (from_peer) last_rx_ms_ = now_ms();
  // A steady stream of strangers' datagrams must not hide a silent peer.
  if (!from_peer) check_silence(timeout_line());
  switch (classify_datagram(data, size, role_)) {
    case DatagramKind::Pong:
      if (from_peer) take_pong(data, size);
      break;
    case DatagramKind::Ping:
      answer_ping(data, size, from);
      break;
    case DatagramKind::Hello: {
      HelloMessage hello;
      parse_hello(data, size, &hello);
      handle_hello(hello, from);
      break;
    }
    case DatagramKind::Ctrl:
      if (from_peer) handle_ctrl(data, size);
      break;
    case DatagramKind::Audio: {
      AudioFrameHeader header;
      parse_audio_header(data, size, &header);
      if (on_frame_) on_frame_(header, data + kAudioHeaderSize, size - kAudioHeaderSize);
      break;
    }
    case DatagramKind::Dropped:
    case DatagramKind::Other:
      break;
  }
}

bool SessionTransport::is_peer(const SocketAddress& from) const {
  std::lock_guard<std::mutex> guard(lock_);
  return connected_ && from.ip == peer_.ip && from.port == peer_.port;
}

void SessionTransport::handle_ctrl(const std::uint8_t* data, std::size_t size) {
  CtrlHeader header;
  parse_ctrl_header(data, size, &header);
  connection_logf("Received CTRL message type=%d payload_size=%d", static_cast<int>(header.type),
                  static_cast<int>(header.payload_size));
  if (on_control_) on_control_(header.type, data + kCtrlHeaderSize, size - kCtrlHeaderSize);
}

// A receiver that proved the code before is let in whatever code it sends
// (an old one after our restart is no guess). Any other receiver must send
// the code, through the guessing throttle: a throttled source is ignored
// without a log line, so a flood costs no disk.
void SessionTransport::handle_hello(const HelloMessage& hello, const SocketAddress& from) {
  const bool remembered = approved_ids_.contains(hello.id);
  if (!remembered && !guesses_.allows(from.ip, now_ms())) return;
  connection_logf("Received HELLO from %s:%d \xE2\x80\x94 '%s' (id=%s, code='%s')",
                  format_ipv4(from.ip).c_str(), from.port, hello.name.c_str(), hello.id.c_str(),
                  hello.code.c_str());
  if (!remembered && !passes_pairing_check(hello, from)) return;
  if (!admit(hello, remembered)) return;
  take_peer(hello, from);
}

bool SessionTransport::passes_pairing_check(const HelloMessage& hello, const SocketAddress& from) {
  if (hello.code.empty()) {
    connection_logf("Connection denied for '%s'", hello.name.c_str());
    refuse(tovik::RefusalReason::NoCode, hello, from);
    return false;
  }
  if (hello.code != pairing_code_) {
    connection_logf("Pairing code MISMATCH: got '%s' expected '%s' \xE2\x80\x94 rejecting",
                    hello.code.c_str(), pairing_code_.c_str());
    refuse(tovik::RefusalReason::WrongCode, hello, from);
    return false;
  }
  guesses_.succeeded(from.ip);
  return true;
}

void SessionTransport::refuse(tovik::RefusalReason reason, const HelloMessage& hello,
                              const SocketAddress& from) {
  guesses_.failed(from.ip, now_ms());
  if (on_refusal_) on_refusal_({reason, hello.name, from.ip});
}

bool SessionTransport::admit(const HelloMessage& hello, bool remembered) {
  if (remembered) return true;
  if (!on_approval_) {
    connection_logf("Connection denied for '%s'", hello.name.c_str());
    return false;
  }
  set_state(tovik::ConnectionState::ApprovalPending, hello.name);
  if (!on_approval_(hello.name, hello.id)) {
    connection_logf("Connection denied for '%s'", hello.name.c_str());
    return false;
  }
  return true;
}

void SessionTransport::take_peer(const HelloMessage& hello, const SocketAddress& from) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    peer_ = from;
    connected_ = true;
  }
  last_rx_ms_ = now_ms();
  set_state(tovik::ConnectionState::Connected, hello.name);
  connection_logf("Connected to peer %s:%d", format_ipv4(from.ip).c_str(), from.port);
  // A remembered id that now calls itself by its id is let in but not stored
  // again: the store distrusts entries whose id equals their name.
  if (!can_remember_receiver(hello.id, hello.name)) return;
  if (approved_ids_.remember(hello.id, now_ms()) && on_paired_) on_paired_(hello.id, hello.name);
}
