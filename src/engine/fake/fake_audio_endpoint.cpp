#include "engine/fake/fake_audio_endpoint.h"

#include <algorithm>
#include <utility>

FakePacket FakePacket::data(std::vector<float> samples, int channels) {
  FakePacket packet;
  packet.frames = static_cast<std::uint32_t>(samples.size() / static_cast<std::size_t>(channels));
  packet.samples = std::move(samples);
  return packet;
}

FakePacket FakePacket::silence(std::uint32_t frames, int channels) {
  FakePacket packet;
  packet.samples.assign(frames * static_cast<std::size_t>(channels), 0.25f);
  packet.frames = frames;
  packet.silent = true;
  return packet;
}

FakePacket FakePacket::empty() { return FakePacket(); }

FakePacket FakePacket::borrow_failure() {
  FakePacket packet;
  packet.frames = 1;  // announced as waiting, so the loop tries to borrow it
  packet.fail_borrow = true;
  return packet;
}

FakeAudioEndpoint::FakeAudioEndpoint(FakeEndpointConfig config) : config_(config) {}

void FakeAudioEndpoint::push(FakePacket packet) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(packet));
  }
  changed_.notify_all();
}

void FakeAudioEndpoint::play_real_time(std::uint32_t period_frames, FakeGenerator generator) {
  std::lock_guard<std::mutex> lock(mutex_);
  period_frames_ = period_frames;
  generator_ = std::move(generator);
}

void FakeAudioEndpoint::change_default(FakeEndpointConfig config) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    config_ = config;
    device_changed_ = true;
  }
  changed_.notify_all();
}

std::size_t FakeAudioEndpoint::pending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

FakeAudioEndpoint::Counters FakeAudioEndpoint::counters() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return counters_;
}

bool FakeAudioEndpoint::streaming() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return streaming_;
}

std::chrono::steady_clock::time_point FakeAudioEndpoint::started() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return started_;
}

ErrorCode FakeAudioEndpoint::open_device() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++counters_.opens;
  return config_.open_result;
}

MixFormat FakeAudioEndpoint::mix_format() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return config_.format;
}

ErrorCode FakeAudioEndpoint::initialize() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++counters_.initializes;
  return config_.initialize_result;
}

void FakeAudioEndpoint::close_device() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++counters_.closes;
  queue_.clear();  // the old device's audio goes with it
}

void FakeAudioEndpoint::enter_thread() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++counters_.thread_enters;
}

void FakeAudioEndpoint::leave_thread() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++counters_.thread_leaves;
}

void FakeAudioEndpoint::start() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++counters_.starts;
  streaming_ = true;
  started_ = std::chrono::steady_clock::now();
  periods_taken_ = 0;
}

void FakeAudioEndpoint::stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++counters_.stops;
  streaming_ = false;
}

std::chrono::steady_clock::time_point FakeAudioEndpoint::next_period_due() const {
  const auto period = std::chrono::microseconds(
      1000000ull * period_frames_ / static_cast<std::uint64_t>(config_.format.sample_rate));
  return started_ + period * static_cast<std::int64_t>(periods_taken_ + 1);
}

// Real-time periods due by now and not taken yet.
std::uint64_t FakeAudioEndpoint::periods_due() const {
  if (period_frames_ == 0 || !generator_ || config_.format.sample_rate <= 0 || !streaming_) {
    return 0;
  }
  const auto elapsed = std::chrono::steady_clock::now() - started_;
  const auto elapsed_us = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
  const std::uint64_t due = static_cast<std::uint64_t>(elapsed_us) *
                            static_cast<std::uint64_t>(config_.format.sample_rate) /
                            (1000000ull * period_frames_);
  return due > periods_taken_ ? due - periods_taken_ : 0;
}

bool FakeAudioEndpoint::packets_due() const { return !queue_.empty() || periods_due() > 0; }

bool FakeAudioEndpoint::wait(int timeout_ms) {
  using Clock = std::chrono::steady_clock;
  std::unique_lock<std::mutex> lock(mutex_);
  ++counters_.waits;
  const auto deadline = timeout_ms < 0 ? Clock::time_point::max()
                                       : Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    if (woken_ || device_changed_) {
      woken_ = false;
      return false;
    }
    const bool signalling = config_.signals && streaming_;
    if (signalling && packets_due()) {
      ++counters_.signalled_waits;
      return true;
    }
    if (Clock::now() >= deadline) return false;
    auto until = deadline;
    if (signalling && period_frames_ != 0 && config_.format.sample_rate > 0) {
      until = std::min(until, next_period_due());
    }
    if (until == Clock::time_point::max()) {
      changed_.wait(lock);
    } else {
      changed_.wait_until(lock, until);
    }
  }
}

void FakeAudioEndpoint::wake() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    woken_ = true;
  }
  changed_.notify_all();
}

bool FakeAudioEndpoint::take_device_change() {
  std::lock_guard<std::mutex> lock(mutex_);
  const bool changed = device_changed_;
  device_changed_ = false;
  return changed;
}

void FakeAudioEndpoint::next_packet_size(std::uint32_t* frames) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (queue_.empty()) {
    *frames = periods_due() > 0 ? period_frames_ : 0;
    return;
  }
  // A zero-frame packet still has to be borrowed and released: announce it.
  *frames = queue_.front().frames == 0 ? 1 : queue_.front().frames;
}

bool FakeAudioEndpoint::borrow(EndpointPacket* packet) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++counters_.borrows;
  if (queue_.empty()) {
    if (periods_due() == 0) return false;
    const std::size_t floats = static_cast<std::size_t>(period_frames_) *
                               static_cast<std::size_t>(config_.format.channels);
    if (period_.size() < floats) period_.resize(floats);  // a new format only
    generator_(period_.data(), period_frames_, config_.format.channels);
    packet->data = period_.data();
    packet->frames = period_frames_;
    packet->silent = false;
    period_borrowed_ = true;
    return true;
  }
  borrowed_ = std::move(queue_.front());
  queue_.pop_front();
  if (borrowed_.fail_borrow) return false;
  packet->data = borrowed_.samples.empty() ? nullptr : borrowed_.samples.data();
  packet->frames = borrowed_.frames;
  packet->silent = borrowed_.silent;
  return true;
}

void FakeAudioEndpoint::release(std::uint32_t frames) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++counters_.releases;
  if (period_borrowed_) {
    period_borrowed_ = false;
    ++periods_taken_;
    return;
  }
  counters_.released_frames.push_back(frames);
}
