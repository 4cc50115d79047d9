#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "app/shell/platform_services.h"
#include "engine/stream_engine.h"

// Records what the wiring asks of the platform.
class FakePlatform : public PlatformServices {
 public:
  std::string computer_name() override { return name; }
  void show_error(const std::string& text) override { errors.push_back(text); }
  void show_notice(const std::string&) override {}
  void copy_to_clipboard(const std::string& text) override { clipboard.push_back(text); }
  std::int64_t now_seconds() override { return now; }

  std::string name = "DESK-7";
  std::int64_t now = 1700000000;
  std::vector<std::string> errors;
  std::vector<std::string> clipboard;
};

// An engine whose results the test chooses; it reports states like the real
// one (Searching at start, Disconnected at every stop).
class FakeEngine : public StreamEngine {
 public:
  struct Calls {
    int starts = 0;
    int stops = 0;
    std::vector<std::int32_t> bitrates;
    bool paused = false;
    bool has_approval = false;
  };

  explicit FakeEngine(Calls* calls, ErrorCode start_code = ErrorCode::Ok)
      : calls_(calls), start_code_(start_code) {}
  ~FakeEngine() override { stop(); }

  void set_state_callback(StateCallback callback) override { on_state_ = std::move(callback); }
  void set_approval_callback(ApprovalCallback callback) override {
    calls_->has_approval = static_cast<bool>(callback);
    approve_ = std::move(callback);
  }
  void set_refusal_callback(RefusalCallback callback) override { on_refusal = std::move(callback); }
  void set_paired_callback(PairedCallback callback) override { on_paired = std::move(callback); }
  ErrorCode start() override {
    ++calls_->starts;
    if (start_code_ != ErrorCode::Ok) return start_code_;
    report(tovik::ConnectionState::Searching, "");
    return ErrorCode::Ok;
  }
  void stop() override {
    ++calls_->stops;
    report(tovik::ConnectionState::Disconnected, "");
  }
  void set_pause_callback(PauseCallback) override {}
  void pause() override { calls_->paused = true; }
  void resume() override { calls_->paused = false; }
  bool is_paused() const override { return calls_->paused; }
  void set_bitrate(std::int32_t bits) override {
    calls_->bitrates.push_back(bits < 1 ? 128000 : bits);
  }
  std::string pairing_code() const override { return "042917"; }
  int rtt_ms() const override { return 40; }
  int bitrate_kbps() const override { return 128; }

  // What the session would report from its threads.
  void report(tovik::ConnectionState state, const std::string& detail) {
    if (on_state_) on_state_(state, detail);
  }
  bool approves(const std::string& name, const std::string& id) const {
    return approve_ && approve_(name, id);
  }
  RefusalCallback on_refusal;
  PairedCallback on_paired;

 private:
  Calls* calls_;
  ErrorCode start_code_;
  StateCallback on_state_;
  ApprovalCallback approve_;
};
