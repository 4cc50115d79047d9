// Every parser of the session protocol on arbitrary bytes, as both roles see
// them, with round-trip checks where a builder exists.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "transport/packet_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (SessionRole role : {SessionRole::Transmitter, SessionRole::Receiver}) {
    DatagramKind kind = classify_datagram(data, size, role);
    if (kind == DatagramKind::Ping) {
      std::string pong = build_pong(data, size);
      if (pong.size() != size || std::memcmp(pong.data() + 11, data + 11, size - 11) != 0) {
        std::abort();
      }
    }
  }
  HelloMessage hello;
  if (parse_hello(data, size, &hello)) {
    // Rebuilding a HELLO whose fields hold no '|' gives back the same bytes.
    if (hello.name.find('|') == std::string::npos && hello.id.find('|') == std::string::npos &&
        !hello.code.empty()) {
      std::string again = build_hello(hello.name, hello.id, hello.code);
      if (again.size() != size || std::memcmp(again.data(), data, size) != 0) std::abort();
    }
  }
  if (auto value = parse_pong(data, size)) {
    std::string ping = build_ping(*value);
    std::string pong = build_pong(reinterpret_cast<const std::uint8_t*>(ping.data()), ping.size());
    auto again = parse_pong(reinterpret_cast<const std::uint8_t*>(pong.data()), pong.size());
    if (!again || *again != *value) std::abort();
  }
  CtrlHeader ctrl;
  if (parse_ctrl_header(data, size, &ctrl) && ctrl.magic != kCtrlMagic) std::abort();
  AudioFrameHeader audio;
  if (parse_audio_header(data, size, &audio)) {
    std::vector<std::uint8_t> frame =
        build_audio_frame(audio, data + kAudioHeaderSize, size - kAudioHeaderSize);
    if (frame.size() != size || std::memcmp(frame.data(), data, 14) != 0) std::abort();
  }
  return 0;
}
