#include "engine/stream_manager.h"

#include "engine/audio_ring.h"
#include "engine/frame_sink.h"

namespace {

constexpr std::int32_t kDefaultBitrate = 128000;
// The ring holds 48 kHz stereo floats.
constexpr std::uint64_t kRingBytesPerSecond = 48000 * 2 * sizeof(float);

std::uint32_t read_be32(const unsigned char* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

}  // namespace

// The streaming loop's view of the session: a paused stream looks not
// connected, so the loop discards the captured audio and sends nothing.
class StreamManager::SessionSink : public FrameSink {
 public:
  explicit SessionSink(SessionTransport& session) : session_(session) {}
  tovik::ConnectionState state() const override {
    if (session_.is_paused()) return tovik::ConnectionState::Searching;
    return session_.state();
  }
  ErrorCode send_audio_frame(const AudioFrameHeader& header, const std::uint8_t* payload,
                             std::size_t size) override {
    return session_.send_audio_frame(header, payload, size);
  }

 private:
  SessionTransport& session_;
};

Created<StreamManager> StreamManager::create(const StreamConfig& config) {
  return create(config, StreamManagerOptions());
}

Created<StreamManager> StreamManager::create(const StreamConfig& config,
                                             StreamManagerOptions options) {
  Created<StreamManager> result;
  std::unique_ptr<StreamManager> manager(new StreamManager());
  manager->device_name_ = config.device_name;
  manager->device_id_ = config.device_id;
  Created<LoopbackCapture> capture = options.endpoint
                                         ? LoopbackCapture::create(std::move(options.endpoint))
                                         : LoopbackCapture::create();
  result.code = capture.code;
  if (result.code != ErrorCode::Ok) return result;
  manager->capture_ = std::move(capture.object);
  // A format that cannot become 48 kHz stereo fails here, not as silence.
  if (!CaptureConverter::check_format(manager->capture_->sample_rate(),
                                      manager->capture_->channels())) {
    result.code = ErrorCode::CaptureFailed;
    return result;
  }
  Created<AudioEncoder> encoder = AudioEncoder::create(options.encoder);
  result.code = encoder.code;
  if (result.code != ErrorCode::Ok) return result;
  manager->encoder_ = std::move(encoder.object);
  TransportConfig transport = options.transport;
  transport.device_name = config.device_name;
  transport.device_id = config.device_id;
  transport.remembered_receivers = config.remembered_receivers;
  transport.is_transmitter = true;
  Created<SessionTransport> session = SessionTransport::create(transport);
  result.code = session.code;
  if (result.code != ErrorCode::Ok) return result;
  manager->session_ = std::move(session.object);
  manager->session_->set_bitrate_figure(manager->encoder_->bitrate());
  manager->sink_ = std::make_unique<SessionSink>(*manager->session_);
  result.object = std::move(manager);
  return result;
}

StreamManager::~StreamManager() {
  stop();
  on_paused_ = nullptr;
  on_approval_ = nullptr;
  on_state_ = nullptr;
  on_refusal_ = nullptr;
  on_paired_ = nullptr;
  loop_.reset();
  sink_.reset();
  session_.reset();
  encoder_.reset();
  capture_.reset();
  converter_.reset();
}

void StreamManager::set_state_callback(StateCallback callback) { on_state_ = std::move(callback); }

void StreamManager::set_approval_callback(ApprovalCallback callback) {
  on_approval_ = std::move(callback);
}

void StreamManager::set_refusal_callback(RefusalCallback callback) {
  on_refusal_ = std::move(callback);
}

void StreamManager::set_paired_callback(PairedCallback callback) {
  on_paired_ = std::move(callback);
}

void StreamManager::set_pause_callback(PauseCallback callback) { on_paused_ = std::move(callback); }

ErrorCode StreamManager::start() {
  running_ = true;
  if (on_approval_) session_->set_approval_callback(on_approval_);
  session_->set_refusal_callback(on_refusal_);
  session_->set_paired_callback(on_paired_);
  session_->set_state_callback([this](tovik::ConnectionState state, const std::string& detail) {
    follow_state(state);
    if (on_state_) on_state_(state, detail);
  });
  session_->set_control_callback([this](tovik::CtrlType type, const unsigned char* payload,
                                        std::size_t size) { handle_control(type, payload, size); });
  // Asleep until a receiver connects.
  capture_->set_active(false);
  ErrorCode code = session_->start();
  if (code != ErrorCode::Ok) return code;
  loop_ = std::make_unique<StreamingLoop>(process_audio_ring(), *encoder_, *sink_);
  capture_->start([this](const float* samples, std::size_t frames, int rate, int channels) {
    on_captured(samples, frames, rate, channels);
  });
  return ErrorCode::Ok;
}

void StreamManager::stop() {
  running_ = false;
  if (capture_) capture_->stop();
  if (session_) session_->stop();
}

// Nobody listening, nothing to capture: the device stream runs only while a
// receiver is connected.
void StreamManager::follow_state(tovik::ConnectionState state) {
  const bool wanted = state == tovik::ConnectionState::Connected;
  if (wanted && !capture_wanted_.exchange(true)) stale_ring_ = true;
  if (!wanted) capture_wanted_ = false;
  if (capture_) capture_->set_active(wanted);
}

// On the capture thread: into the ring, converted from whatever format the
// device has now, then out as frames.
void StreamManager::on_captured(const float* samples, std::size_t frames, int rate, int channels) {
  AudioRing& ring = process_audio_ring();
  if (stale_ring_.exchange(false)) ring.set_read_pos(ring.write_pos());
  if (!converter_ || rate != converter_rate_ || channels != converter_channels_) {
    // The first packet, or a new default output with another format.
    converter_ = std::make_unique<CaptureConverter>(ring, rate, channels);
    converter_rate_ = rate;
    converter_channels_ = channels;
  }
  converter_->on_audio_captured(samples, frames, rate, channels);
  loop_->pump(counters_);
  // Less than a frame is left: nothing to do before the rest of it comes.
  const std::uint64_t buffered = ring.write_pos() - ring.read_pos();
  const std::uint64_t frame_bytes = loop_->geometry().frame_bytes;
  const std::uint64_t missing = buffered < frame_bytes ? frame_bytes - buffered : 0;
  capture_->want_more(static_cast<std::int64_t>(missing * 1000000000 / kRingBytesPerSecond));
}

void StreamManager::pause() {
  if (session_) session_->set_paused(true);
}

void StreamManager::resume() {
  if (session_) session_->set_paused(false);
}

bool StreamManager::is_paused() const { return session_ && session_->is_paused(); }

void StreamManager::set_bitrate(std::int32_t bits_per_second) {
  apply_bitrate(bits_per_second < 1 ? kDefaultBitrate : bits_per_second);
}

void StreamManager::apply_bitrate(std::int32_t bits_per_second) {
  if (!encoder_) return;
  // The tray's figure follows what the encoder really uses.
  if (encoder_->set_bitrate(bits_per_second) == ErrorCode::Ok && session_) {
    session_->set_bitrate_figure(encoder_->bitrate());
  }
}

std::string StreamManager::pairing_code() const {
  return session_ ? session_->pairing_code() : std::string();
}

int StreamManager::rtt_ms() const { return session_ ? session_->rtt_ms() : 0; }

int StreamManager::bitrate_kbps() const { return session_ ? session_->bitrate_kbps() : 0; }

std::uint16_t StreamManager::audio_port() const { return session_ ? session_->audio_port() : 0; }

void StreamManager::handle_control(tovik::CtrlType type, const unsigned char* payload,
                                   std::size_t size) {
  if (type == tovik::CtrlType::SetBitrate && size >= 4) {
    // Taken as sent: a value the encoder refuses changes nothing.
    apply_bitrate(static_cast<std::int32_t>(read_be32(payload)));
  } else if (type == tovik::CtrlType::SetPaused && size >= 1 && session_) {
    session_->set_paused(payload[0] != 0);
    if (on_paused_) on_paused_(payload[0] != 0);
  }
}
