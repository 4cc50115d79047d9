#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/error_code.h"
#include "transport/connection_state.h"
#include "transport/refused_hello.h"

// The streaming engine as the start-up wiring and the tray commands see it.
// StreamManager is the real one; the wiring's tests use a fake.
class StreamEngine {
 public:
  using StateCallback = std::function<void(tovik::ConnectionState, const std::string&)>;
  using ApprovalCallback = std::function<bool(const std::string&, const std::string&)>;
  using RefusalCallback = std::function<void(const tovik::RefusedHello&)>;
  using PairedCallback = std::function<void(const std::string& id, const std::string& name)>;
  using PauseCallback = std::function<void(bool paused)>;

  virtual ~StreamEngine() = default;
  // Both are set before start; the state callback is looked up at each report.
  virtual void set_state_callback(StateCallback callback) = 0;
  virtual void set_approval_callback(ApprovalCallback callback) = 0;
  // Both are set before start and called on the session's listen thread:
  // a receiver was refused for want of the code; a receiver that may be
  // remembered (by its id) connected.
  virtual void set_refusal_callback(RefusalCallback callback) = 0;
  virtual void set_paired_callback(PairedCallback callback) = 0;
  // Called on the session's thread after the receiver paused or resumed the
  // stream (CTRL SetPaused); set before start.
  virtual void set_pause_callback(PauseCallback callback) = 0;
  // Starts session, capture and streaming; InternalError when the audio
  // socket cannot be bound.
  virtual ErrorCode start() = 0;
  // Stops everything and reports Disconnected; may be called any number of times.
  virtual void stop() = 0;
  // The one paused state: while it is set no audio frames are sent, whoever
  // set it (the tray or the receiver), across time-outs and reconnections.
  virtual void pause() = 0;
  virtual void resume() = 0;
  virtual bool is_paused() const = 0;
  // Values below 1 mean the default 128000.
  virtual void set_bitrate(std::int32_t bits_per_second) = 0;
  virtual std::string pairing_code() const = 0;
  virtual int rtt_ms() const = 0;
  virtual int bitrate_kbps() const = 0;
};
