#include "impairment_relay.h"

namespace {

constexpr int kReceiveSliceMs = 50;
constexpr std::size_t kDatagramMax = 65536;

bool same_address(const SocketAddress& a, const SocketAddress& b) {
  return a.ip == b.ip && a.port == b.port;
}

}  // namespace

ImpairmentRelay::ImpairmentRelay(const RelayConfig& config)
    : config_(config),
      to_server_random_(config.seed),
      // A different stream for the other direction, still fixed by the seed.
      to_client_random_(config.seed ^ 0xA5A5A5A5A5A5A5A5ull) {}

ImpairmentRelay::~ImpairmentRelay() { stop(); }

ErrorCode ImpairmentRelay::start() {
  if (running_ || client_thread_.joinable()) return ErrorCode::InvalidArgument;
  UdpSocket::startup();
  if (!listen_.open()) return ErrorCode::InternalError;
  if (!listen_.bind(config_.listen_ip, config_.listen_port)) {
    listen_.close();
    return ErrorCode::InternalError;
  }
  listen_.set_receive_timeout_ms(kReceiveSliceMs);
  running_ = true;
  delay_line_.start();
  client_thread_ = std::thread(&ImpairmentRelay::client_loop, this);
  return ErrorCode::Ok;
}

void ImpairmentRelay::stop() {
  running_ = false;
  if (client_thread_.joinable()) client_thread_.join();
  for (auto& client : clients_) {
    if (client->thread.joinable()) client->thread.join();
  }
  // The delay line sends through the sockets: it ends before they close.
  delay_line_.stop();
  for (auto& client : clients_) client->upstream.close();
  clients_.clear();
  listen_.close();
}

RelayCounts ImpairmentRelay::to_server_counts() const {
  std::lock_guard<std::mutex> guard(decide_mutex_);
  return to_server_counts_;
}

RelayCounts ImpairmentRelay::to_client_counts() const {
  std::lock_guard<std::mutex> guard(decide_mutex_);
  return to_client_counts_;
}

void ImpairmentRelay::client_loop() {
  std::vector<std::uint8_t> buffer(kDatagramMax);
  while (running_) {
    SocketAddress from;
    const int n = listen_.receive_from(buffer.data(), buffer.size(), &from);
    if (n <= 0) continue;
    Client* client = find_or_add_client(from);
    if (client == nullptr) continue;
    forward(config_.to_server, to_server_random_, &to_server_counts_, &client->upstream,
            config_.server, buffer.data(), static_cast<std::size_t>(n));
  }
}

ImpairmentRelay::Client* ImpairmentRelay::find_or_add_client(const SocketAddress& from) {
  for (auto& client : clients_) {
    if (same_address(client->address, from)) return client.get();
  }
  if (static_cast<int>(clients_.size()) >= config_.max_clients) return nullptr;
  auto client = std::make_unique<Client>();
  client->address = from;
  if (!client->upstream.open() || !client->upstream.bind(kIpv4Any, 0)) return nullptr;
  client->upstream.set_receive_timeout_ms(kReceiveSliceMs);
  client->thread = std::thread(&ImpairmentRelay::upstream_loop, this, client.get());
  clients_.push_back(std::move(client));
  return clients_.back().get();
}

void ImpairmentRelay::upstream_loop(Client* client) {
  std::vector<std::uint8_t> buffer(kDatagramMax);
  while (running_) {
    SocketAddress from;
    const int n = client->upstream.receive_from(buffer.data(), buffer.size(), &from);
    if (n <= 0) continue;
    forward(config_.to_client, to_client_random_, &to_client_counts_, &listen_, client->address,
            buffer.data(), static_cast<std::size_t>(n));
  }
}

void ImpairmentRelay::forward(const Impairment& impairment, RelayRandom& random,
                              RelayCounts* counts, UdpSocket* socket, const SocketAddress& to,
                              const std::uint8_t* data, std::size_t size) {
  ImpairmentDecision decision;
  {
    std::lock_guard<std::mutex> guard(decide_mutex_);
    decision = decide_impairment(impairment, random);
    count_decision(decision, counts);
    counts->forwarded += static_cast<std::uint64_t>(decision.copies);
  }
  const auto now = std::chrono::steady_clock::now();
  for (int copy = 0; copy < decision.copies; ++copy) {
    delay_line_.schedule(now + std::chrono::milliseconds(decision.delay_ms[copy]), socket, to, data,
                         size);
  }
}
