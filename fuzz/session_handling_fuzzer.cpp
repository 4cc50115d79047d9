// Arbitrary datagrams through the session's classification and handling, in
// both roles, with callbacks installed; no sockets are opened. The first two
// bytes of an input pick its source (the peer, a stranger, the peer's host
// on another port, or many forged hosts) and how far the clock moves, so the
// pairing guard, the receiver memory and the peer checks are explored too.
#include "support/fake_clock.h"
#include "support/fuzz_support.h"
#include "transport/session_transport.h"

namespace {

FakeClock g_clock;
SocketAddress g_from;

std::unique_ptr<SessionTransport> create(bool transmitter) {
  fuzz_without_logs();
  TransportConfig config;
  config.is_transmitter = transmitter;
  config.clock = &g_clock;
  config.remembered_receivers = {"rx-known", "", "bad\"id"};
  auto session = std::move(SessionTransport::create(config).object);
  SessionTransport* self = session.get();
  session->set_approval_callback([](const std::string&, const std::string&) { return true; });
  session->set_control_callback([=](tovik::CtrlType, const unsigned char* p, std::size_t n) {
    // Only the connected peer may steer a transmitter's stream.
    check(!transmitter || (self->peer().ip == g_from.ip && self->peer().port == g_from.port));
    volatile unsigned char sink = 0;
    for (std::size_t i = 0; i < n; ++i) sink = sink ^ p[i];
  });
  session->set_paired_callback([](const std::string& id, const std::string& name) {
    check(can_remember_receiver(id, name) || id == "rx-known");
  });
  session->set_refusal_callback(
      [](const tovik::RefusedHello& r) { check(r.source_ip == g_from.ip); });
  session->set_frame_callback([](const AudioFrameHeader& h, const unsigned char* p, std::size_t n) {
    check(n <= kSessionDatagramMax && (n == 0 || p != nullptr) && h.version == 1);
  });
  return session;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static SessionTransport& transmitter = *create(true).release();
  static SessionTransport& receiver = *create(false).release();
  if (size < 2 || size > kSessionDatagramMax + 2) return 0;
  const std::uint8_t source = data[0];
  g_clock.advance_ms(std::int64_t{data[1]} * 250);  // up to about a minute per input
  const std::uint32_t peer_ip = transmitter.peer().ip;
  const SocketAddress sources[] = {transmitter.peer(),
                                   {0x7F000001u, 40000},
                                   {peer_ip, static_cast<std::uint16_t>(source)},
                                   {0x0A000000u | source, 40000}};
  g_from = sources[source & 3];
  transmitter.handle_datagram(data + 2, size - 2, g_from);
  receiver.handle_datagram(data + 2, size - 2, g_from);
  check(transmitter.rtt_ms() >= 0);
  return 0;
}
