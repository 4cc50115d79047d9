// Arbitrary datagrams through the session's classification and handling, in
// both roles, with callbacks installed; no sockets are opened.
#include <cstdint>
#include <cstdlib>

#include "support/fuzz_env.h"
#include "transport/session_transport.h"

namespace {

SessionTransport& session(bool transmitter) {
  static SessionTransport* sessions[2] = {nullptr, nullptr};
  SessionTransport*& slot = sessions[transmitter ? 1 : 0];
  if (slot == nullptr) {
    fuzz_without_logs();
    TransportConfig config;
    config.is_transmitter = transmitter;
    slot = SessionTransport::create(config).object.release();
    slot->set_approval_callback([](const std::string&, const std::string&) { return true; });
    slot->set_control_callback([](tovik::CtrlType, const unsigned char* p, std::size_t n) {
      volatile unsigned char sink = 0;
      for (std::size_t i = 0; i < n; ++i) sink = sink ^ p[i];
    });
    slot->set_frame_callback([](const AudioFrameHeader& h, const unsigned char* p, std::size_t n) {
      if (n > kSessionDatagramMax || (n > 0 && p == nullptr) || h.version != 1) std::abort();
    });
  }
  return *slot;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kSessionDatagramMax) return 0;
  const SocketAddress from{0x7F000001u, 40000};
  session(true).handle_datagram(data, size, from);
  session(false).handle_datagram(data, size, from);
  if (session(true).rtt_ms() < 0) std::abort();
  return 0;
}
