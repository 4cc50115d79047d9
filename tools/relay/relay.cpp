#include "relay.h"

std::uint64_t RelayRandom::next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

int impair(const Impairment& impairment, RelayRandom& random) {
  const bool drop = random.chance(impairment.drop_percent);
  const bool held = random.chance(impairment.reorder_percent);
  const int jitter = random.up_to(static_cast<int>(impairment.jitter_ms));
  return drop ? -1
              : static_cast<int>(impairment.delay_ms + (held ? impairment.reorder_ms : 0)) + jitter;
}

ImpairmentRelay::ImpairmentRelay(const RelayConfig& config)
    : config_(config), random_{RelayRandom(config.seed), RelayRandom(~config.seed)} {}

ErrorCode ImpairmentRelay::start() {
  UdpSocket::startup();
  if (running_ || !listen_.open() || !listen_.bind(kIpv4Loopback, 0) || !upstream_.open() ||
      !upstream_.bind(kIpv4Any, 0)) {
    return ErrorCode::InternalError;
  }
  running_ = true;
  threads_.emplace_back(&ImpairmentRelay::receive_loop, this, 0);
  threads_.emplace_back(&ImpairmentRelay::receive_loop, this, 1);
  threads_.emplace_back(&ImpairmentRelay::send_loop, this);
  return ErrorCode::Ok;
}

void ImpairmentRelay::stop() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    running_ = false;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
  listen_.close();
  upstream_.close();
}

// Direction 0 reads the client's datagrams from the listening socket, 1 the
// server's replies from the upstream one.
void ImpairmentRelay::receive_loop(int direction) {
  UdpSocket& socket = direction == 0 ? listen_ : upstream_;
  const Impairment& impairment = direction == 0 ? config_.to_server : config_.to_client;
  std::vector<std::uint8_t> buffer(65536);
  while (running_) {
    SocketAddress from;
    const int n = socket.receive_from(buffer.data(), buffer.size(), &from, 50);
    if (n <= 0) continue;
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> guard(mutex_);
    if (direction == 0) client_ = from;
    const int delay = impair(impairment, random_[direction]);
    if (delay >= 0) {
      queue_.emplace(
          now + std::chrono::milliseconds(delay),
          std::make_pair(direction, std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + n)));
    }
    wake_.notify_all();
  }
}

// Sends each copy at its due time.
void ImpairmentRelay::send_loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (running_) {
    if (queue_.empty()) {
      wake_.wait(lock);
    } else if (std::chrono::steady_clock::now() < queue_.begin()->first) {
      wake_.wait_until(lock, queue_.begin()->first);
    } else {
      const auto& [direction, bytes] = queue_.begin()->second;
      (direction == 0 ? upstream_ : listen_)
          .send_to(bytes.data(), bytes.size(), direction == 0 ? config_.server : client_);
      queue_.erase(queue_.begin());
    }
  }
}
