#include "transport/session_transport.h"

#include "app/logs.h"
#include "transport/pairing_code.h"

SessionTransport::SessionTransport(const TransportConfig& config)
    : config_(config),
      clock_(config.clock != nullptr ? config.clock : &system_steady_clock()),
      role_(config.is_transmitter ? SessionRole::Transmitter : SessionRole::Receiver),
      pairing_code_(draw_pairing_code()),
      approved_ids_(config.remembered_receivers) {}

Created<SessionTransport> SessionTransport::create(const TransportConfig& config) {
  Created<SessionTransport> result;
  std::unique_ptr<SessionTransport> transport(new SessionTransport(config));
  Created<ServiceDiscovery> discovery = ServiceDiscovery::create(config.discovery);
  if (discovery.code != ErrorCode::Ok) {
    result.code = discovery.code;
    return result;
  }
  transport->discovery_ = std::move(discovery.object);
  result.object = std::move(transport);
  return result;
}

SessionTransport::~SessionTransport() { stop(); }

void SessionTransport::set_approval_callback(ApprovalCallback callback) {
  on_approval_ = std::move(callback);
}
void SessionTransport::set_state_callback(StateCallback callback) {
  on_state_ = std::move(callback);
}
void SessionTransport::set_control_callback(ControlCallback callback) {
  on_control_ = std::move(callback);
}
void SessionTransport::set_refusal_callback(RefusalCallback callback) {
  on_refusal_ = std::move(callback);
}
void SessionTransport::set_paired_callback(PairedCallback callback) {
  on_paired_ = std::move(callback);
}
void SessionTransport::set_frame_callback(FrameCallback callback) {
  on_frame_ = std::move(callback);
}
void SessionTransport::set_code_to_present(std::string code) { code_to_present_ = std::move(code); }

ErrorCode SessionTransport::start() {
  // A second start without stop would orphan the running threads.
  if (listen_thread_.joinable() || keepalive_thread_.joinable()) return ErrorCode::InternalError;
  running_ = true;
  keepalive_wait_.arm();
  if (!open_audio_socket()) return ErrorCode::InternalError;
  set_state(tovik::ConnectionState::Searching, std::string());
  if (role_ == SessionRole::Receiver) return start_receiver();
  // The bound port, which is the configured one unless a test asked for any.
  ErrorCode code =
      discovery_->start_broadcasting(config_.device_name, socket_.local_port(), config_.device_id);
  if (code != ErrorCode::Ok) return code;
  listen_thread_ = std::thread(&SessionTransport::transmitter_listen_loop, this);
  return ErrorCode::Ok;
}

bool SessionTransport::open_audio_socket() {
  if (!socket_.open()) {
    connection_log("Failed to create audio socket");
    return false;
  }
  // The audio port is ours alone: a second Tovik (another user's session)
  // must fail to start, not receive half of the receivers' datagrams.
  socket_.set_exclusive_address();
  const bool transmitter = role_ == SessionRole::Transmitter;
  const std::uint16_t port = transmitter ? config_.audio_port : 0;
  if (!socket_.bind(kIpv4Any, port)) {
    if (transmitter) {
      connection_logf("Failed to bind audio socket to port %d", port);
    } else {
      connection_log("Failed to bind audio socket");
    }
    socket_.close();
    return false;
  }
  if (transmitter) {
    connection_logf("Audio socket bound to port %d", socket_.local_port());
  } else {
    connection_log("Audio socket bound to ephemeral port");
  }
  return true;
}

void SessionTransport::stop() {
  running_ = false;
  keepalive_wait_.stop();
  if (discovery_) discovery_->stop();
  socket_.close();
  if (keepalive_thread_.joinable()) keepalive_thread_.join();
  if (listen_thread_.joinable()) listen_thread_.join();
  {
    std::lock_guard<std::mutex> guard(lock_);
    connected_ = false;
  }
  set_state(tovik::ConnectionState::Disconnected, std::string());
  flush_log_bursts(/*all=*/true);
}

ErrorCode SessionTransport::send_audio_frame(const AudioFrameHeader& header,
                                             const std::uint8_t* payload, std::size_t size) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!socket_.is_open() || !connected_) return ErrorCode::ConnectionLost;
  std::size_t length =
      write_audio_frame(header, payload, size, frame_buffer_, sizeof frame_buffer_);
  if (length == 0) return ErrorCode::ConnectionLost;
  int sent = socket_.send_to(frame_buffer_, length, peer_);
  return sent < 1 ? ErrorCode::ConnectionLost : ErrorCode::Ok;
}

tovik::ConnectionState SessionTransport::state() const {
  std::lock_guard<std::mutex> guard(lock_);
  return state_;
}

int SessionTransport::rtt_ms() const {
  int rtt = rtt_ms_;
  return rtt > 0 ? rtt : 40;
}

void SessionTransport::set_state(tovik::ConnectionState state, const std::string& detail) {
  state_ = state;
  if (on_state_) on_state_(state, detail);
}
