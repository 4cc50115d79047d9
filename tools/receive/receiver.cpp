#include "receiver.h"

#include "transport/steady_clock.h"
#include "transport/thread_name.h"

namespace {

// While no frames come (no transmitter yet, or a lost one), how often the
// supervisor looks for one; while they come it looks only when they would be
// stale.
constexpr std::int64_t kSearchSliceMs = 100;

}  // namespace

Receiver::Receiver(const ReceiverConfig& config, AudioSink& sink)
    : config_(config), sink_(sink), engine_(config.latency_ms) {}

Receiver::~Receiver() { stop(); }

ErrorCode Receiver::start() {
  if (running_) return ErrorCode::InvalidArgument;
  ErrorCode code = engine_.init();
  if (code != ErrorCode::Ok) return code;
  TransportConfig transport;
  transport.device_name = config_.name;
  transport.device_id = config_.id;
  transport.is_transmitter = false;
  transport.known_transmitters = config_.known_transmitters;
  // Greeting one address: the listener hears nothing on a port of its own.
  transport.discovery.port = config_.to ? 0 : config_.discovery_port;
  Created<SessionTransport> created = SessionTransport::create(transport);
  if (created.code != ErrorCode::Ok) return created.code;
  session_ = std::move(created.object);
  session_->set_code_to_present(config_.code);
  session_->set_frame_callback([this](const AudioFrameHeader& h, const unsigned char* p,
                                      std::size_t n) { on_frame(h, p, n); });
  session_->set_state_callback([this](tovik::ConnectionState state, const std::string&) {
    if (state == tovik::ConnectionState::Connected) greeted_ = true;
  });
  code = sink_.open();
  if (code != ErrorCode::Ok) return code;
  running_ = true;
  supervisor_wait_.arm();
  playout_thread_ = std::thread(&Receiver::playout_loop, this);
  code = session_->start();
  if (code == ErrorCode::Ok && config_.to) {
    code = session_->connect_to(format_ipv4(config_.to->ip), config_.to->port,
                                format_ipv4(config_.to->ip));
  }
  if (code == ErrorCode::Ok && !config_.to) {
    finder_ = std::make_unique<TransmitterFinder>(config_.discovery_port);
    finder_->restart();
  }
  supervisor_thread_ = std::thread(&Receiver::supervise_loop, this);
  if (code != ErrorCode::Ok) stop();
  return code;
}

void Receiver::stop() {
  running_ = false;
  supervisor_wait_.stop();
  sink_.wake();
  if (supervisor_thread_.joinable()) supervisor_thread_.join();
  if (finder_) finder_->stop();
  if (session_) session_->stop();
  if (playout_thread_.joinable()) playout_thread_.join();
  sink_.close();
}

tovik::ConnectionState Receiver::state() const {
  return session_ ? session_->state() : tovik::ConnectionState::Disconnected;
}

void Receiver::on_frame(const AudioFrameHeader& header, const unsigned char* payload,
                        std::size_t size) {
  const std::int64_t now_ns = system_steady_clock().now_ns();
  if (!queue_.push(header.sequence, payload, size, now_ns)) ++overflows_;
  last_frame_ms_ = now_ns / 1000000;
}

// The output asks for audio when it wants it (the sound server's request,
// or a paced file's next period): everything queued goes in first.
void Receiver::playout_loop() {
  name_this_thread("tovik-playout");
  const bool played = sink_.run(running_, [this](float* out, int frames, std::int64_t play_ns) {
    render(out, frames, play_ns);
  });
  if (played || !running_) return;
  output_failed_ = true;
  if (config_.on_output_failed) config_.on_output_failed();
}

void Receiver::render(float* out, int frames, std::int64_t play_ns) {
  while (const QueuedFrame* frame = queue_.front()) {
    engine_.receive(*frame);
    queue_.release();
  }
  engine_.render(out, frames, play_ns);
}

void Receiver::supervise_loop() {
  name_this_thread("tovik-supervise");
  RejoinPolicy policy(config_.code);
  bool started = false;
  std::int64_t seen_frame_ms = 0;
  const Clock& clock = system_steady_clock();
  while (running_) {
    const std::int64_t next_ms = supervise_once(policy, &started, &seen_frame_ms);
    if (!supervisor_wait_.sleep_until(clock, next_ms * 1000000)) break;
  }
}

// One look at the stream; returns when to look again.
std::int64_t Receiver::supervise_once(RejoinPolicy& policy, bool* started,
                                      std::int64_t* seen_frame_ms) {
  const std::int64_t now = steady_ms();
  if (!*started) {
    if (!greeted_) return now + kSearchSliceMs;  // still looking for a transmitter
    *started = true;
    policy.on_greeted(now);
  }
  const std::int64_t last = last_frame_ms_;
  if (last > *seen_frame_ms) {
    *seen_frame_ms = last;
    policy.on_frame(last);
  }
  follow_transmitter(now, last);
  std::optional<std::string> code = policy.poll(now);
  if (code) {
    ++rejoins_;
    session_->send_hello(*code);
  }
  const bool flowing = last > 0 && now - last < RejoinPolicy::kStaleMs;
  return flowing ? last + RejoinPolicy::kStaleMs : now + kSearchSliceMs;
}

// While frames flow, learn which transmitter sends them; when they stop,
// listen afresh and greet that transmitter wherever it now announces itself.
// A transmitter that changed address neither hears our keepalives nor sends
// to us once it has timed us out, and our new HELLOs would go to the old one.
void Receiver::follow_transmitter(std::int64_t now_ms, std::int64_t last_frame_ms) {
  if (!finder_) return;
  const std::string peer_ip = format_ipv4(session_->peer().ip);
  if (last_frame_ms > 0 && now_ms - last_frame_ms < RejoinPolicy::kStaleMs) {
    relistened_ = false;
    auto service = finder_->at_address(peer_ip);
    if (!service || service->id == followed_id_) return;
    followed_id_ = service->id;
    if (config_.on_accepted) config_.on_accepted(followed_id_);
    return;
  }
  if (followed_id_.empty()) return;
  if (!relistened_) {
    finder_->restart();
    relistened_ = true;
    return;
  }
  std::optional<tovik::DiscoveredService> service = finder_->with_id(followed_id_);
  if (!service || service->address == peer_ip) return;
  ++moves_;
  session_->connect_to(service->address, service->port, service->name);
}
