#include "relay.h"

std::uint64_t RelayRandom::next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::vector<int> impair(const Impairment& impairment, RelayRandom& random) {
  const bool drop = random.chance(impairment.drop_percent);
  const bool duplicate = random.chance(impairment.duplicate_percent);
  const int held = random.chance(impairment.reorder_percent) ? int(impairment.reorder_ms) : 0;
  const int jitter[2] = {random.up_to(int(impairment.jitter_ms)),
                         random.up_to(int(impairment.jitter_ms))};
  std::vector<int> delays;
  for (int copy = 0; !drop && copy < (duplicate ? 2 : 1); ++copy) {
    delays.push_back(int(impairment.delay_ms) + jitter[copy] + held);
  }
  return delays;
}

ImpairmentRelay::ImpairmentRelay(const RelayConfig& config)
    : config_(config), random_{RelayRandom(config.seed), RelayRandom(~config.seed)} {}

ErrorCode ImpairmentRelay::start() {
  UdpSocket::startup();
  if (running_ || !listen_.open() || !listen_.bind(config_.listen_ip, config_.listen_port) ||
      !upstream_.open() || !upstream_.bind(kIpv4Any, 0)) {
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
    ++received_[direction];
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> guard(mutex_);
    if (direction == 0) client_ = from;
    for (int delay : impair(impairment, random_[direction])) {
      queue_.push({now + std::chrono::milliseconds(delay), order_++, direction,
                   std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + n)});
    }
    wake_.notify_all();
  }
}

// Sends each copy at its due time; those due together leave in arrival order.
void ImpairmentRelay::send_loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (running_) {
    if (queue_.empty() || std::chrono::steady_clock::now() < queue_.top().due) {
      if (queue_.empty())
        wake_.wait(lock);
      else
        wake_.wait_until(lock, queue_.top().due);
      continue;
    }
    const Pending copy = queue_.top();
    queue_.pop();
    UdpSocket& socket = copy.direction == 0 ? upstream_ : listen_;
    socket.send_to(copy.bytes.data(), copy.bytes.size(),
                   copy.direction == 0 ? config_.server : client_);
    ++sent_[copy.direction];
  }
}
