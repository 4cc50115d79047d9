#include "platform/linux/playback_sink.h"

#include "platform/linux/alsa_sink.h"
#include "platform/linux/pulse_sink.h"

ErrorCode PlaybackSink::open() {
  close();
  if (alsa_device_.empty()) {
    active_ = std::make_unique<PulseSink>(period_);
    const ErrorCode code = active_->open();
    if (code != ErrorCode::NoAudioDevice) return code;
  }
  active_ = std::make_unique<AlsaSink>(alsa_device_.empty() ? "default" : alsa_device_, period_);
  const ErrorCode code = active_->open();
  if (code != ErrorCode::Ok) active_.reset();
  return code;
}

bool PlaybackSink::run(const std::atomic<bool>& running, const RenderFunction& render) {
  return active_ != nullptr && active_->run(running, render);
}

void PlaybackSink::wake() {
  if (active_ != nullptr) active_->wake();
}

bool PlaybackSink::write(const float* samples, int frames) {
  return active_ != nullptr && active_->write(samples, frames);
}

std::int64_t PlaybackSink::output_delay_ns() {
  return active_ != nullptr ? active_->output_delay_ns() : 0;
}

std::int64_t PlaybackSink::next_play_ns(std::int64_t now_ns) {
  return active_ != nullptr ? active_->next_play_ns(now_ns) : now_ns;
}

void PlaybackSink::close() {
  if (active_ != nullptr) active_->close();
  active_.reset();
}
