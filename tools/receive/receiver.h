#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/error_code.h"
#include "audio_sink.h"
#include "frame_queue.h"
#include "playout_engine.h"
#include "rejoin_policy.h"
#include "transmitter_finder.h"
#include "transport/session_transport.h"
#include "transport/stop_signal.h"

struct ReceiverConfig {
  std::string name = "Tovik Receiver";
  std::string id;                   // the receiver's own, kept between runs (ReceiverState)
  std::string code;                 // six digits, or empty
  std::optional<SocketAddress> to;  // greet this transmitter instead of discovering one
  std::uint16_t discovery_port = 19482;
  int latency_ms = -1;  // > 0 fixed, 0 lowest, < 0 adaptive
  // Device ids of transmitters that accepted this id before: greeted without a code.
  std::vector<std::string> known_transmitters;
  // Told (on the supervisor thread) the device id of a transmitter whose
  // frames flow to us, when it changes; discovery mode only.
  std::function<void(const std::string& transmitter_id)> on_accepted;
  // The sound output failed while playing (a device unplugged, the sound
  // server gone); called once, on the playout thread.
  std::function<void()> on_output_failed;
};

// The whole receiver: the session's receiver role, the frame queue, the
// playout engine driving a sink on its own thread, and a supervisor that
// greets the transmitter again when frames stop.
class Receiver {
 public:
  Receiver(const ReceiverConfig& config, AudioSink& sink);
  ~Receiver();
  Receiver(const Receiver&) = delete;
  Receiver& operator=(const Receiver&) = delete;

  // Opens the sink, starts the session and the threads. CodecError,
  // NoAudioDevice/InternalError (sink), or the session's code.
  ErrorCode start();
  // Ends the threads and the session, closes the sink. Idempotent.
  void stop();
  ReceiveStats stats() const { return engine_.stats(); }
  int rtt_ms() const { return session_ ? session_->rtt_ms() : 0; }
  tovik::ConnectionState state() const;
  // HELLOs sent by the supervisor after the first.
  int rejoins() const { return rejoins_; }
  // Times the transmitter was greeted at a new address it announced.
  int moves() const { return moves_; }
  bool output_failed() const { return output_failed_; }
  // Frames the queue had no room for (the playout thread fell behind).
  std::uint64_t overflows() const { return overflows_; }

 private:
  void on_frame(const AudioFrameHeader& header, const unsigned char* payload, std::size_t size);
  void playout_loop();
  void render(float* out, int frames, std::int64_t play_ns);
  void supervise_loop();
  std::int64_t supervise_once(RejoinPolicy& policy, bool* started, std::int64_t* seen_frame_ms);
  void follow_transmitter(std::int64_t now_ms, std::int64_t last_frame_ms);

  const ReceiverConfig config_;
  AudioSink& sink_;
  std::unique_ptr<SessionTransport> session_;
  FrameQueue queue_;
  PlayoutEngine engine_;
  std::atomic<bool> running_{false};
  StopSignal supervisor_wait_;
  std::atomic<bool> greeted_{false};
  std::atomic<std::int64_t> last_frame_ms_{0};
  std::atomic<std::uint64_t> overflows_{0};
  std::atomic<int> rejoins_{0};
  std::atomic<int> moves_{0};
  std::atomic<bool> output_failed_{false};
  // Discovery mode only; used by the supervisor thread.
  std::unique_ptr<TransmitterFinder> finder_;
  std::string followed_id_;
  bool relistened_ = false;
  std::thread playout_thread_;
  std::thread supervisor_thread_;
};
