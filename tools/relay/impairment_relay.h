#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/error_code.h"
#include "delay_line.h"
#include "impairment.h"
#include "relay_random.h"
#include "transport/udp_socket.h"

struct RelayConfig {
  std::uint32_t listen_ip = kIpv4Loopback;  // where clients send to
  std::uint16_t listen_port = 0;            // 0: any free port
  SocketAddress server;                     // where their datagrams go
  Impairment to_server;                     // client -> server direction
  Impairment to_client;                     // server -> client direction
  std::uint64_t seed = 1;
  int max_clients = 8;
};

// A UDP relay that impairs traffic in both directions: clients send to its
// listening port, it forwards to the server from one socket per client, and
// the server's replies go back to the client they answer.
class ImpairmentRelay {
 public:
  explicit ImpairmentRelay(const RelayConfig& config);
  ~ImpairmentRelay();
  ImpairmentRelay(const ImpairmentRelay&) = delete;
  ImpairmentRelay& operator=(const ImpairmentRelay&) = delete;

  // Binds the listening socket and starts forwarding; InternalError when the
  // socket cannot be opened or bound, InvalidArgument when already started.
  ErrorCode start();
  // Ends every thread and closes the sockets. Idempotent.
  void stop();
  // The bound listening port while started.
  std::uint16_t port() const { return listen_.local_port(); }
  RelayCounts to_server_counts() const;
  RelayCounts to_client_counts() const;

 private:
  struct Client {
    SocketAddress address;
    UdpSocket upstream;
    std::thread thread;
  };

  void client_loop();
  void upstream_loop(Client* client);
  Client* find_or_add_client(const SocketAddress& from);
  void forward(const Impairment& impairment, RelayRandom& random, RelayCounts* counts,
               UdpSocket* socket, const SocketAddress& to, const std::uint8_t* data,
               std::size_t size);

  const RelayConfig config_;
  std::atomic<bool> running_{false};
  UdpSocket listen_;
  std::thread client_thread_;
  std::vector<std::unique_ptr<Client>> clients_;  // client thread only, until stop
  DelayLine delay_line_;

  mutable std::mutex decide_mutex_;  // the generators and the counts
  RelayRandom to_server_random_;
  RelayRandom to_client_random_;
  RelayCounts to_server_counts_;
  RelayCounts to_client_counts_;
};
