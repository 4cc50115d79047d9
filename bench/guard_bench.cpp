// What the defences against a hostile LAN cost the transmitter's listen
// thread, per datagram or line: the peer check and silence test that every
// datagram now passes, a HELLO from a throttled source, a remembered
// receiver's HELLO, the guessing throttle with a full table, and a log line
// written or held back in a burst.
#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <cstdlib>
#include <string>

#include "app/logs.h"
#include "transport/session_transport.h"

namespace {

const SocketAddress kPeer{0x0A4D0002, 40000};
const SocketAddress kStranger{0x0A4D0003, 40001};

// Logs go to a temporary folder, as in the product: a file per line.
void use_temporary_logs() {
  static const bool once = [] {
    char folder[] = "/tmp/tovik-guard-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) std::abort();
    setenv("APPDATA", folder, 1);
    mkdir((std::string(folder) + "/Tovik").c_str(), 0700);
    return true;
  }();
  (void)once;
}

// A transmitter (not started) with a connected peer and a stranger whose
// address is locked out after wrong codes.
std::unique_ptr<SessionTransport> guarded_session() {
  use_temporary_logs();
  TransportConfig config;
  config.remembered_receivers = {"rx-known"};
  auto session = SessionTransport::create(config).object;
  auto feed = [&](const std::string& bytes, const SocketAddress& from) {
    session->handle_datagram(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                             from);
  };
  feed(build_hello("Phone", "rx-known", ""), kPeer);
  for (int i = 0; i < GuessThrottle::kFreeFailures; ++i) {
    feed(build_hello("Mallory", "rx-x", "00000" + std::to_string(i)), kStranger);
  }
  return session;
}

const char* const kDatagrams[] = {"K",
                                  "K",
                                  "\xC0\x03\x00\x01\x01",
                                  "TOVIK_PONG|1",
                                  "TOVIK_HELLO|Mallory|rx-x|123456",
                                  "TOVIK_HELLO|Phone|rx-known"};

// Arg: 0 the peer's keepalive (the floor), 1 a stranger's keepalive, 2 a
// stranger's CTRL, 3 a stranger's PONG, 4 a throttled HELLO, 5 the peer's
// HELLO again (remembered; its log lines repeat).
void BM_Datagram(benchmark::State& state) {
  auto session = guarded_session();
  const auto kind = static_cast<std::size_t>(state.range(0));
  const std::string bytes = kind == 2 ? std::string(kDatagrams[2], 5) : kDatagrams[kind];
  const SocketAddress& from = (kind == 0 || kind == 5) ? kPeer : kStranger;
  for (auto _ : state) {
    session->handle_datagram(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(),
                             from);
  }
}
BENCHMARK(BM_Datagram)->DenseRange(0, 5);

void BM_ThrottleFullTable(benchmark::State& state) {
  GuessThrottle throttle;
  for (std::uint32_t ip = 0; ip < GuessThrottle::kSources; ++ip) throttle.failed(ip, 0);
  std::uint32_t ip = 0;
  // An hour later the budget is full again, so every call searches the table.
  for (auto _ : state) benchmark::DoNotOptimize(throttle.allows(ip++ % 512, 3600000));
}
BENCHMARK(BM_ThrottleFullTable);

// Arg 0: every line new (written, the cap checked); 1: the same line (held).
void BM_LogLine(benchmark::State& state) {
  use_temporary_logs();
  int n = 0;
  for (auto _ : state)
    connection_logf("Received HELLO from 10.77.0.3:%d", state.range(0) ? 1 : ++n);
}
BENCHMARK(BM_LogLine)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
