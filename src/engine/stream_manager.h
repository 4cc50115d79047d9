#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "app/error_code.h"
#include "engine/audio_encoder.h"
#include "engine/audio_endpoint.h"
#include "engine/capture_converter.h"
#include "engine/loopback_capture.h"
#include "engine/stream_config.h"
#include "engine/stream_engine.h"
#include "engine/streaming_loop.h"
#include "transport/session_transport.h"

// What a test rig may replace; the defaults are the product's.
struct StreamManagerOptions {
  // The audio source; the system's default output when null.
  std::unique_ptr<AudioEndpoint> endpoint;
  // Ports, clock and discovery of the session; device name and id are taken
  // from the StreamConfig.
  TransportConfig transport;
  // The engine's fixed encoder settings (a rig may break them on purpose).
  EncoderConfig encoder;
};

// The streaming engine: owns the capture, the encoder and the session, moves
// audio from the capture through the ring to the receiver, answers the
// receiver's control messages and forwards the session's state reports. The
// capture runs only while a receiver is connected; frames are encoded and
// sent on its thread as soon as they are whole.
class StreamManager : public StreamEngine {
 public:
  // Builds capture (NoAudioDevice, CaptureFailed), encoder (CodecError) and
  // session, in that order.
  static Created<StreamManager> create(const StreamConfig& config);
  static Created<StreamManager> create(const StreamConfig& config, StreamManagerOptions options);
  ~StreamManager() override;

  void set_state_callback(StateCallback callback) override;
  void set_approval_callback(ApprovalCallback callback) override;
  void set_refusal_callback(RefusalCallback callback) override;
  void set_paired_callback(PairedCallback callback) override;
  void set_pause_callback(PauseCallback callback) override;
  ErrorCode start() override;
  void stop() override;
  // A paused stream keeps its session but sends no audio frames.
  void pause() override;
  void resume() override;
  bool is_paused() const override;
  void set_bitrate(std::int32_t bits_per_second) override;
  std::string pairing_code() const override;
  int rtt_ms() const override;
  int bitrate_kbps() const override;

  // The session's audio port (tests bind any free port).
  std::uint16_t audio_port() const;
  // Handles one control message as the receiver's CTRL would.
  void handle_control(tovik::CtrlType type, const unsigned char* payload, std::size_t size);

 private:
  class SessionSink;
  StreamManager() = default;
  void apply_bitrate(std::int32_t bits_per_second);
  void follow_state(tovik::ConnectionState state);
  void on_captured(const float* samples, std::size_t frames, int rate, int channels);

  std::string device_name_ = "Tovik PC";
  std::string device_id_;
  std::unique_ptr<LoopbackCapture> capture_;
  std::unique_ptr<AudioEncoder> encoder_;
  std::unique_ptr<SessionTransport> session_;
  std::unique_ptr<SessionSink> sink_;
  std::atomic<bool> running_{false};
  std::atomic<bool> capture_wanted_{false};
  std::atomic<bool> stale_ring_{false};  // audio from before the capture paused is dropped
  // The capture thread's own, from start on.
  std::unique_ptr<StreamingLoop> loop_;
  std::unique_ptr<CaptureConverter> converter_;
  int converter_rate_ = 0;
  int converter_channels_ = 0;
  StreamCounters counters_;
  StateCallback on_state_;
  ApprovalCallback on_approval_;
  RefusalCallback on_refusal_;
  PairedCallback on_paired_;
  PauseCallback on_paused_;
};
