#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/error_code.h"
#include "discovery/service_discovery.h"
#include "transport/connection_state.h"
#include "transport/guess_throttle.h"
#include "transport/packet_codec.h"
#include "transport/receiver_memory.h"
#include "transport/refused_hello.h"
#include "transport/steady_clock.h"
#include "transport/stop_signal.h"
#include "transport/udp_socket.h"

struct TransportConfig {
  std::string device_name = "Tovik PC";
  std::string device_id;
  bool is_transmitter = true;
  // The network constants, as fields so that tests can run on loopback ports.
  std::uint16_t audio_port = 19483;
  DiscoveryConfig discovery;
  // Time source of the session's timers; the system's monotonic clock when null.
  const Clock* clock = nullptr;
  // Transmitter role: ids of receivers that proved the pairing code in
  // earlier runs (oldest first); they are admitted without it.
  std::vector<std::string> remembered_receivers;
  // Receiver role: device ids of transmitters that accepted this receiver
  // before; they are greeted without a code.
  std::vector<std::string> known_transmitters;
};

// The UDP session with one receiver (transmitter role) or one transmitter
// (receiver role): pairing, approval, PING/PONG, silence time-out, CTRL and
// audio frames. Callbacks are set before start and run on the session's
// threads without any lock held; they must return promptly and not call stop.
class SessionTransport {
 public:
  using ApprovalCallback = std::function<bool(const std::string& name, const std::string& id)>;
  using StateCallback = std::function<void(tovik::ConnectionState, const std::string& detail)>;
  using ControlCallback =
      std::function<void(tovik::CtrlType, const unsigned char* payload, std::size_t size)>;
  using FrameCallback =
      std::function<void(const AudioFrameHeader&, const unsigned char* payload, std::size_t size)>;
  using RefusalCallback = std::function<void(const tovik::RefusedHello&)>;
  using PairedCallback = std::function<void(const std::string& id, const std::string& name)>;

  // Draws the pairing code and creates the discovery object.
  static Created<SessionTransport> create(const TransportConfig& config);
  ~SessionTransport();
  SessionTransport(const SessionTransport&) = delete;
  SessionTransport& operator=(const SessionTransport&) = delete;

  void set_approval_callback(ApprovalCallback callback);
  void set_state_callback(StateCallback callback);
  void set_control_callback(ControlCallback callback);
  // Transmitter role: told of every HELLO refused for want of the right code
  // (ignored HELLOs of a throttled source are not told).
  void set_refusal_callback(RefusalCallback callback);
  // Transmitter role: told, with the receiver's id and name, when a receiver
  // that may be remembered connects (at most once a minute per id).
  void set_paired_callback(PairedCallback callback);
  // Receiver role: where received audio frames go.
  void set_frame_callback(FrameCallback callback);
  // Receiver role: the pairing code sent as the HELLO's third field.
  void set_code_to_present(std::string code);
  // Receiver role, after start: greets the transmitter at address:port (dotted
  // IPv4) as a found announcement would, without the discovery log line.
  // InvalidArgument for a malformed address, ConnectionLost when not started.
  ErrorCode connect_to(const std::string& address, std::uint16_t port, const std::string& name);
  // Receiver role: a new HELLO presenting code to the current peer, which is
  // then treated as connected again (a restarted or timed-out transmitter only
  // sends to receivers that greet it). ConnectionLost without a peer or socket.
  ErrorCode send_hello(const std::string& code);
  // The current peer; port 0 when there is none.
  SocketAddress peer() const;

  // Opens the audio socket, reports Searching and starts the role's threads.
  // InternalError when the socket cannot be opened or bound.
  ErrorCode start();
  // Ends the threads, closes the socket, reports Disconnected. Idempotent.
  void stop();

  // Sends one audio frame to the peer; ConnectionLost when none or on failure.
  ErrorCode send_audio_frame(const AudioFrameHeader& header, const std::uint8_t* payload,
                             std::size_t size);

  tovik::ConnectionState state() const;
  std::string pairing_code() const { return pairing_code_; }
  void set_paused(bool paused) { paused_ = paused; }
  bool is_paused() const { return paused_; }
  // Smoothed round-trip time in ms, or 40 before any sample.
  int rtt_ms() const;
  // The bitrate figure for display, in kbit/s; follows set_bitrate_figure.
  int bitrate_kbps() const { return bitrate_bps_ / 1000; }
  // Records the encoder's current bitrate for bitrate_kbps.
  void set_bitrate_figure(int bits_per_second) { bitrate_bps_ = bits_per_second; }

  // The local port of the audio socket while started (tests bind port 0).
  std::uint16_t audio_port() const { return socket_.local_port(); }
  // Handles one received datagram as the listen loop does; exposed so the
  // classification and handling can be fuzzed without sockets.
  void handle_datagram(const std::uint8_t* data, std::size_t size, const SocketAddress& from);

 private:
  explicit SessionTransport(const TransportConfig& config);

  bool open_audio_socket();
  void set_state(tovik::ConnectionState state, const std::string& detail);
  std::int64_t now_ms() const { return clock_->now_ms(); }

  // Transmitter role.
  void transmitter_listen_loop();
  void handle_hello(const HelloMessage& hello, const SocketAddress& from);
  bool passes_pairing_check(const HelloMessage& hello, const SocketAddress& from);
  void refuse(tovik::RefusalReason reason, const HelloMessage& hello, const SocketAddress& from);
  bool admit(const HelloMessage& hello, bool remembered);
  void take_peer(const HelloMessage& hello, const SocketAddress& from);
  void handle_ctrl(const std::uint8_t* data, std::size_t size);
  // Whether a datagram came from the connected peer's address and port:
  // only those steer the stream (CTRL), time the link (PONG) or keep it alive.
  bool is_peer(const SocketAddress& from) const;

  // Receiver role.
  ErrorCode start_receiver();
  void on_service_found(const tovik::DiscoveredService& service);
  int greet(const SocketAddress& to, const std::string& name, const std::string& code);
  void receiver_listen_loop();
  void keepalive_loop();

  // Link watch, both roles.
  void run_link_timers(const char* timeout_format);
  std::int64_t next_link_timer_ns() const;
  void send_ping_if_due();
  void answer_ping(const std::uint8_t* data, std::size_t size, const SocketAddress& from);
  void take_pong(const std::uint8_t* data, std::size_t size);
  void check_silence(const char* timeout_format);
  // The role's log line for a silent link.
  const char* timeout_line() const;
  bool receive_one(std::uint8_t* buffer, std::size_t* received, SocketAddress* from);

  TransportConfig config_;
  const Clock* clock_;
  SessionRole role_;
  std::atomic<tovik::ConnectionState> state_{tovik::ConnectionState::Disconnected};
  std::unique_ptr<ServiceDiscovery> discovery_;

  ApprovalCallback on_approval_;
  StateCallback on_state_;
  ControlCallback on_control_;
  FrameCallback on_frame_;
  RefusalCallback on_refusal_;
  PairedCallback on_paired_;

  mutable std::mutex lock_;
  std::thread listen_thread_;
  std::thread keepalive_thread_;
  std::atomic<bool> running_{false};
  StopSignal keepalive_wait_;  // the keepalive thread sleeps on it between sends
  UdpSocket socket_;
  SocketAddress peer_;
  std::string peer_name_;     // guarded by lock_, for the state reports of send_hello
  std::mutex threads_mutex_;  // a found service and connect_to may greet at once
  std::atomic<bool> connected_{false};

  std::string pairing_code_;
  std::string code_to_present_;
  ReceiverMemory approved_ids_;  // listen thread only
  GuessThrottle guesses_;        // listen thread only
  std::atomic<std::int64_t> last_rx_ms_{0};
  std::int64_t last_ping_ns_ = 0;
  std::atomic<int> rtt_ms_{0};
  std::atomic<bool> paused_{false};
  std::atomic<int> bitrate_bps_{128000};
  std::uint64_t datagram_count_ = 0;

  // The audio frame is assembled here under the lock: no allocation per frame.
  std::uint8_t frame_buffer_[kSessionDatagramMax * 4];
};
