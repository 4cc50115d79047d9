// Every parser of the session protocol on arbitrary bytes, as both roles see
// them, with round-trip checks where a builder exists.
#include <cstring>

#include "support/fuzz_support.h"
#include "transport/packet_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text = as_text(data, size);
  for (SessionRole role : {SessionRole::Transmitter, SessionRole::Receiver}) {
    if (classify_datagram(data, size, role) == DatagramKind::Ping) {
      check(build_pong(data, size) == "TOVIK_PONG|" + text.substr(11));
    }
  }
  HelloMessage hello;
  // Rebuilding a HELLO whose fields hold no '|' gives back the same bytes.
  if (parse_hello(data, size, &hello) && (hello.name + hello.id).find('|') == std::string::npos &&
      !hello.code.empty()) {
    check(build_hello(hello.name, hello.id, hello.code) == text);
  }
  if (auto value = parse_pong(data, size)) {
    const std::string ping = build_ping(*value);
    const std::string pong =
        build_pong(reinterpret_cast<const std::uint8_t*>(ping.data()), ping.size());
    check(parse_pong(reinterpret_cast<const std::uint8_t*>(pong.data()), pong.size()) == value);
  }
  CtrlHeader ctrl;
  check(!parse_ctrl_header(data, size, &ctrl) || ctrl.magic == kCtrlMagic);
  AudioFrameHeader audio;
  if (parse_audio_header(data, size, &audio)) {
    const auto frame = build_audio_frame(audio, data + kAudioHeaderSize, size - kAudioHeaderSize);
    check(frame.size() == size && std::memcmp(frame.data(), data, 14) == 0);
  }
  return 0;
}
