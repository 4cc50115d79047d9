#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "app/error_code.h"
#include "transport/udp_socket.h"

// What happens to the datagrams of one direction. Percentages are 0..100.
struct Impairment {
  double drop_percent = 0;
  double delay_ms = 0;         // added to every datagram
  double jitter_ms = 0;        // plus uniform 0..jitter_ms (may reorder)
  double reorder_percent = 0;  // held back reorder_ms more, so later ones overtake
  double reorder_ms = 0;
};

// splitmix64 with a seed: the same sequence on every platform (the standard
// distributions differ between libraries), so an impaired run repeats.
class RelayRandom {
 public:
  explicit RelayRandom(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next();
  bool chance(double percent) {
    return static_cast<double>(next() >> 11) * 0x1.0p-53 * 100 < percent;
  }
  int up_to(int bound) { return bound <= 0 ? 0 : static_cast<int>(next() % (bound + 1u)); }

 private:
  std::uint64_t state_;
};

// How long (ms) to hold one datagram, or -1 to drop it. Every draw is made
// for every datagram, so one knob does not shift the sequence the others see.
int impair(const Impairment& impairment, RelayRandom& random);

struct RelayConfig {
  SocketAddress server;  // where the client's datagrams go
  Impairment to_server, to_client;
  std::uint64_t seed = 1;
};

// A UDP relay on a free loopback port for one client (the latest sender)
// that impairs both directions: the client sends to its port, it forwards to
// the server, and the server's replies go back to the client.
class ImpairmentRelay {
 public:
  explicit ImpairmentRelay(const RelayConfig& config);
  ~ImpairmentRelay() { stop(); }
  ImpairmentRelay(const ImpairmentRelay&) = delete;
  ImpairmentRelay& operator=(const ImpairmentRelay&) = delete;

  // Binds and starts forwarding; InternalError when a socket cannot be bound.
  ErrorCode start();
  // Ends the threads, discards what is not yet due. Idempotent.
  void stop();
  std::uint16_t port() const { return listen_.local_port(); }

 private:
  void receive_loop(int direction);
  void send_loop();

  const RelayConfig config_;
  UdpSocket listen_, upstream_;
  SocketAddress client_;  // under mutex_
  RelayRandom random_[2];
  std::atomic<bool> running_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  // Datagrams by due time (those due together in arrival order): direction and bytes.
  std::multimap<std::chrono::steady_clock::time_point, std::pair<int, std::vector<std::uint8_t>>>
      queue_;
  std::vector<std::thread> threads_;
};
