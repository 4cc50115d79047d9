#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Wire formats of the session datagrams (docs/protocol.md). Pure functions:
// no sockets, no clock, no state.

namespace tovik {

// Control-message type, one byte on the wire. Other values are passed on too.
enum class CtrlType : std::uint8_t {
  SetBitrate = 1,
  SetPaused = 3,
};

}  // namespace tovik

// Header of an audio frame; integers are big-endian on the wire.
struct AudioFrameHeader {
  std::uint8_t version = 1;
  std::uint8_t flags = 0;
  std::uint32_t sequence = 0;
  std::uint32_t timestamp = 0;
  std::uint32_t bitrate = 0;
  std::uint16_t payload_size = 0;
};

struct CtrlHeader {
  std::uint8_t magic = 0xC0;
  tovik::CtrlType type = tovik::CtrlType::SetBitrate;
  std::uint16_t payload_size = 0;
};

struct HelloMessage {
  std::string name;
  std::string id;
  std::string code;
};

constexpr std::size_t kAudioHeaderSize = 16;
constexpr std::size_t kCtrlHeaderSize = 4;
constexpr std::uint8_t kCtrlMagic = 0xC0;
constexpr std::uint8_t kKeepaliveByte = 0x4B;
// Every session receive uses a buffer of this size; longer datagrams are dropped.
constexpr std::size_t kSessionDatagramMax = 2048;

// "TOVIK_HELLO|name|id", plus "|code" only when code is not empty.
std::string build_hello(const std::string& name, const std::string& id, const std::string& code);

// Splits a HELLO at the first two '|' after the prefix; false if not a HELLO.
bool parse_hello(const std::uint8_t* data, std::size_t size, HelloMessage* out);

// "TOVIK_PING|" and the clock value in signed decimal.
std::string build_ping(std::int64_t clock_ms);

// "TOVIK_PONG|" and bytes 11.. of a datagram already classified as a PING.
std::string build_pong(const std::uint8_t* ping, std::size_t size);

// The clock value echoed by a PONG (strtoll rules), or nothing.
std::optional<std::int64_t> parse_pong(const std::uint8_t* data, std::size_t size);

// Writes header + payload into out (capacity bytes); returns the datagram
// size, or 0 when it does not fit. The wire payload_size is the low 16 bits
// of size, not the header's field. Allocation-free for the audio path.
std::size_t write_audio_frame(const AudioFrameHeader& header, const std::uint8_t* payload,
                              std::size_t size, std::uint8_t* out, std::size_t capacity);

// The same as a new byte vector of 16 + size bytes.
std::vector<std::uint8_t> build_audio_frame(const AudioFrameHeader& header,
                                            const std::uint8_t* payload, std::size_t size);

// Accepts C0 tt ss ss [payload] when the declared size fits (or size is 4).
bool parse_ctrl_header(const std::uint8_t* data, std::size_t size, CtrlHeader* out);

// Accepts a version-1 header when the declared payload fits (or size is 16).
bool parse_audio_header(const std::uint8_t* data, std::size_t size, AudioFrameHeader* out);

enum class SessionRole { Transmitter, Receiver };

enum class DatagramKind {
  Pong,
  Ping,
  Hello,  // transmitter role only
  Ctrl,
  Audio,    // receiver role only
  Dropped,  // looked like CTRL or audio but its header was refused
  Other,    // keepalive byte and anything unrecognised: traffic only
};

// Classification in wire priority order: PONG, PING, HELLO, CTRL, audio.
DatagramKind classify_datagram(const std::uint8_t* data, std::size_t size, SessionRole role);
