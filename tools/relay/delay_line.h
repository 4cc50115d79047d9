#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

#include "transport/udp_socket.h"

// Sends datagrams at their due time on its own thread. Datagrams due at the
// same instant leave in the order they were scheduled.
class DelayLine {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  DelayLine() = default;
  ~DelayLine() { stop(); }
  DelayLine(const DelayLine&) = delete;
  DelayLine& operator=(const DelayLine&) = delete;

  void start();
  // Ends the thread; datagrams not yet due are discarded. Idempotent.
  void stop();
  // Queues a copy of data for sending through socket to `to` at `due`. The
  // socket must outlive the delay line's thread.
  void schedule(TimePoint due, UdpSocket* socket, const SocketAddress& to, const std::uint8_t* data,
                std::size_t size);
  // Copies sent since start.
  std::uint64_t sent() const { return sent_; }

 private:
  struct Entry {
    TimePoint due;
    std::uint64_t order;
    UdpSocket* socket;
    SocketAddress to;
    std::vector<std::uint8_t> bytes;
  };
  struct Later {
    bool operator()(const Entry& a, const Entry& b) const {
      return a.due != b.due ? a.due > b.due : a.order > b.order;
    }
  };

  void run();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::priority_queue<Entry, std::vector<Entry>, Later> queue_;
  std::uint64_t order_ = 0;
  bool running_ = false;
  std::atomic<std::uint64_t> sent_{0};
  std::thread thread_;
};
