#include "app/logs.h"
#include "transport/session_transport.h"
#include "transport/thread_name.h"

namespace {

const char kTransmitterTimeout[] =
    "Connection timeout \xE2\x80\x94 no packets for %lldms, disconnecting";

}  // namespace

void SessionTransport::transmitter_listen_loop() {
  name_this_thread("tovik-listen");
  connection_logf("Transmitter listen loop started on port %d", socket_.local_port());
  std::uint8_t buffer[kSessionDatagramMax];
  while (running_) {
    run_link_timers(kTransmitterTimeout);
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
  last_rx_ms_ = now_ms();
  switch (classify_datagram(data, size, role_)) {
    case DatagramKind::Pong:
      take_pong(data, size);
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
      handle_ctrl(data, size);
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

void SessionTransport::handle_ctrl(const std::uint8_t* data, std::size_t size) {
  CtrlHeader header;
  parse_ctrl_header(data, size, &header);
  connection_logf("Received CTRL message type=%d payload_size=%d", static_cast<int>(header.type),
                  static_cast<int>(header.payload_size));
  if (on_control_) on_control_(header.type, data + kCtrlHeaderSize, size - kCtrlHeaderSize);
}

void SessionTransport::handle_hello(const HelloMessage& hello, const SocketAddress& from) {
  const std::string address = format_ipv4(from.ip);
  connection_logf("Received HELLO from %s:%d \xE2\x80\x94 '%s' (id=%s, code='%s')", address.c_str(),
                  from.port, hello.name.c_str(), hello.id.c_str(), hello.code.c_str());
  if (!hello.code.empty() && !pairing_code_.empty() && hello.code != pairing_code_) {
    connection_logf("Pairing code MISMATCH: got '%s' expected '%s' \xE2\x80\x94 rejecting",
                    hello.code.c_str(), pairing_code_.c_str());
    return;
  }
  if (!admit(hello)) return;
  {
    std::lock_guard<std::mutex> guard(lock_);
    peer_ = from;
    connected_ = true;
  }
  set_state(tovik::ConnectionState::Connected, hello.name);
  connection_logf("Connected to peer %s:%d", address.c_str(), from.port);
}

bool SessionTransport::admit(const HelloMessage& hello) {
  if (approved_ids_.count(hello.id) != 0) return true;
  if (!on_approval_) {
    connection_logf("Connection denied for '%s'", hello.name.c_str());
    return false;
  }
  set_state(tovik::ConnectionState::ApprovalPending, hello.name);
  if (!on_approval_(hello.name, hello.id)) {
    connection_logf("Connection denied for '%s'", hello.name.c_str());
    return false;
  }
  approved_ids_.insert(hello.id);
  return true;
}
