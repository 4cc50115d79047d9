#include "engine/fake/fake_audio_endpoint.h"

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
  std::lock_guard<std::mutex> lock(mutex_);
  queue_.push_back(std::move(packet));
}

void FakeAudioEndpoint::play_real_time(std::uint32_t period_frames, FakeGenerator generator) {
  std::lock_guard<std::mutex> lock(mutex_);
  period_frames_ = period_frames;
  generator_ = std::move(generator);
}

std::size_t FakeAudioEndpoint::pending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

FakeAudioEndpoint::Counters FakeAudioEndpoint::counters() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return counters_;
}

ErrorCode FakeAudioEndpoint::open_device() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++counters_.opens;
  return config_.open_result;
}

ErrorCode FakeAudioEndpoint::initialize() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++counters_.initializes;
  return config_.initialize_result;
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
  started_ = std::chrono::steady_clock::now();
  periods_queued_ = 0;
}

void FakeAudioEndpoint::stop() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++counters_.stops;
}

void FakeAudioEndpoint::queue_due_periods() {
  if (period_frames_ == 0 || !generator_ || config_.format.sample_rate <= 0) return;
  const auto elapsed = std::chrono::steady_clock::now() - started_;
  const auto elapsed_us = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
  const std::uint64_t due = static_cast<std::uint64_t>(elapsed_us) *
                            static_cast<std::uint64_t>(config_.format.sample_rate) /
                            (1000000ull * period_frames_);
  const auto channels = static_cast<std::size_t>(config_.format.channels);
  for (; periods_queued_ < due; ++periods_queued_) {
    FakePacket packet;
    packet.frames = period_frames_;
    packet.samples.resize(period_frames_ * channels);
    generator_(packet.samples.data(), period_frames_, config_.format.channels);
    queue_.push_back(std::move(packet));
  }
}

void FakeAudioEndpoint::next_packet_size(std::uint32_t* frames) {
  std::lock_guard<std::mutex> lock(mutex_);
  queue_due_periods();
  if (queue_.empty()) {
    *frames = 0;
    return;
  }
  // A zero-frame packet still has to be borrowed and released: announce it.
  *frames = queue_.front().frames == 0 ? 1 : queue_.front().frames;
}

bool FakeAudioEndpoint::borrow(EndpointPacket* packet) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++counters_.borrows;
  if (queue_.empty()) return false;
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
  counters_.released_frames.push_back(frames);
}
