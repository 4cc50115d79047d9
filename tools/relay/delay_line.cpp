#include "delay_line.h"

void DelayLine::start() {
  std::lock_guard<std::mutex> guard(mutex_);
  if (running_) return;
  running_ = true;
  thread_ = std::thread(&DelayLine::run, this);
}

void DelayLine::stop() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    running_ = false;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> guard(mutex_);
  queue_ = {};
}

void DelayLine::schedule(TimePoint due, UdpSocket* socket, const SocketAddress& to,
                         const std::uint8_t* data, std::size_t size) {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!running_) return;
    queue_.push(Entry{due, order_++, socket, to, std::vector<std::uint8_t>(data, data + size)});
  }
  wake_.notify_all();
}

void DelayLine::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (running_) {
    if (queue_.empty()) {
      wake_.wait(lock);
      continue;
    }
    const TimePoint due = queue_.top().due;
    if (std::chrono::steady_clock::now() < due) {
      wake_.wait_until(lock, due);
      continue;
    }
    Entry entry = queue_.top();
    queue_.pop();
    // Sending outside the lock keeps the receiving threads from waiting.
    lock.unlock();
    entry.socket->send_to(entry.bytes.data(), entry.bytes.size(), entry.to);
    ++sent_;
    lock.lock();
  }
}
