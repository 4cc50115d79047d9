// Arbitrary datagrams through the session's classification and handling, in
// both roles, with callbacks installed; no sockets are opened. The first two
// bytes of an input pick its source (the peer, a stranger, the peer's host
// on another port, or many forged hosts) and how far the clock moves, so the
// pairing guard, the receiver memory and the peer checks are explored too.
#include <cstdint>
#include <cstdlib>

#include "support/fuzz_env.h"
#include "transport/session_transport.h"

namespace {

class FuzzClock : public Clock {
 public:
  std::int64_t now_ns() const override { return ns; }
  std::int64_t ns = 1000000000;
};

FuzzClock g_clock;
SocketAddress g_from;

SessionTransport& session(bool transmitter) {
  static SessionTransport* sessions[2] = {nullptr, nullptr};
  SessionTransport*& slot = sessions[transmitter ? 1 : 0];
  if (slot == nullptr) {
    fuzz_without_logs();
    TransportConfig config;
    config.is_transmitter = transmitter;
    config.clock = &g_clock;
    config.remembered_receivers = {"rx-known", "", "bad\"id"};
    slot = SessionTransport::create(config).object.release();
    SessionTransport* self = slot;
    slot->set_approval_callback([](const std::string&, const std::string&) { return true; });
    slot->set_control_callback([=](tovik::CtrlType, const unsigned char* p, std::size_t n) {
      // Only the connected peer may steer a transmitter's stream.
      const SocketAddress peer = self->peer();
      if (transmitter && (peer.ip != g_from.ip || peer.port != g_from.port)) std::abort();
      volatile unsigned char sink = 0;
      for (std::size_t i = 0; i < n; ++i) sink = sink ^ p[i];
    });
    slot->set_paired_callback([](const std::string& id, const std::string& name) {
      if (!can_remember_receiver(id, name) && id != "rx-known") std::abort();
    });
    slot->set_refusal_callback([](const tovik::RefusedHello& r) {
      if (r.source_ip != g_from.ip) std::abort();
    });
    slot->set_frame_callback([](const AudioFrameHeader& h, const unsigned char* p, std::size_t n) {
      if (n > kSessionDatagramMax || (n > 0 && p == nullptr) || h.version != 1) std::abort();
    });
  }
  return *slot;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2 || size > kSessionDatagramMax + 2) return 0;
  const std::uint8_t source = data[0];
  g_clock.ns += std::int64_t{data[1]} * 250000000;  // up to about a minute per input
  switch (source & 3) {
    case 0:
      g_from = session(true).peer();
      break;
    case 1:
      g_from = {0x7F000001u, 40000};
      break;
    case 2:
      g_from = {session(true).peer().ip, static_cast<std::uint16_t>(source)};
      break;
    default:
      g_from = {0x0A000000u | source, 40000};
      break;
  }
  session(true).handle_datagram(data + 2, size - 2, g_from);
  session(false).handle_datagram(data + 2, size - 2, g_from);
  if (session(true).rtt_ms() < 0) std::abort();
  return 0;
}
