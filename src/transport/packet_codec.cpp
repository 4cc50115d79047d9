#include "transport/packet_codec.h"

#include <cstring>
#include <limits>

namespace {

constexpr char kHelloPrefix[] = "TOVIK_HELLO|";
constexpr std::size_t kHelloPrefixSize = 12;
constexpr char kPingPrefix[] = "TOVIK_PING|";
constexpr char kPongPrefix[] = "TOVIK_PONG|";
constexpr std::size_t kPingPrefixSize = 11;

bool starts_with(const std::uint8_t* data, std::size_t size, const char* prefix,
                 std::size_t prefix_size) {
  return size >= prefix_size && std::memcmp(data, prefix, prefix_size) == 0;
}

// A PING or PONG needs at least one byte after its prefix.
bool is_clock_message(const std::uint8_t* data, std::size_t size, const char* prefix) {
  return size >= kPingPrefixSize + 1 && starts_with(data, size, prefix, kPingPrefixSize);
}

const std::uint8_t* find_byte(const std::uint8_t* from, const std::uint8_t* end, std::uint8_t b) {
  const void* hit =
      from < end ? std::memchr(from, b, static_cast<std::size_t>(end - from)) : nullptr;
  return static_cast<const std::uint8_t*>(hit);
}

std::uint16_t read_u16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

std::uint32_t read_u32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

void write_u16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}

void write_u32(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 24);
  p[1] = static_cast<std::uint8_t>(v >> 16);
  p[2] = static_cast<std::uint8_t>(v >> 8);
  p[3] = static_cast<std::uint8_t>(v);
}

bool is_c_space(std::uint8_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// strtoll(text, nullptr, 10) over a byte range that need not be terminated.
std::optional<std::int64_t> parse_decimal_i64(const std::uint8_t* p, const std::uint8_t* end) {
  while (p < end && is_c_space(*p)) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = (*p++ == '-');
  // Accumulate as a negative number: its range holds the most negative value.
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  std::int64_t value = 0;
  bool any_digit = false;
  for (; p < end && *p >= '0' && *p <= '9'; ++p) {
    int digit = *p - '0';
    if (value < (kMin + digit) / 10) return std::nullopt;
    value = value * 10 - digit;
    any_digit = true;
  }
  if (!any_digit) return std::nullopt;
  if (!negative) {
    if (value == kMin) return std::nullopt;
    value = -value;
  }
  return value;
}

}  // namespace

std::string build_hello(const std::string& name, const std::string& id, const std::string& code) {
  std::string hello = kHelloPrefix + name + "|" + id;
  if (!code.empty()) hello += "|" + code;
  return hello;
}

bool parse_hello(const std::uint8_t* data, std::size_t size, HelloMessage* out) {
  if (size <= kHelloPrefixSize || !starts_with(data, size, kHelloPrefix, kHelloPrefixSize)) {
    return false;
  }
  const std::uint8_t* end = data + size;
  const std::uint8_t* name_begin = data + kHelloPrefixSize;
  const std::uint8_t* p1 = find_byte(name_begin, end, '|');
  if (p1 == nullptr) return false;
  const std::uint8_t* p2 = find_byte(p1 + 1, end, '|');
  auto text = [](const std::uint8_t* b, const std::uint8_t* e) {
    return std::string(reinterpret_cast<const char*>(b), static_cast<std::size_t>(e - b));
  };
  out->name = text(name_begin, p1);
  out->id = text(p1 + 1, p2 != nullptr ? p2 : end);
  out->code = p2 != nullptr ? text(p2 + 1, end) : std::string();
  return true;
}

std::string build_ping(std::int64_t clock_ms) {
  char digits[24];
  std::size_t n = 0;
  // Work on the magnitude as unsigned so the most negative value has one.
  std::uint64_t magnitude = clock_ms < 0 ? ~static_cast<std::uint64_t>(clock_ms) + 1
                                         : static_cast<std::uint64_t>(clock_ms);
  do {
    digits[n++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  std::string ping = kPingPrefix;
  if (clock_ms < 0) ping += '-';
  while (n > 0) ping += digits[--n];
  return ping;
}

std::string build_pong(const std::uint8_t* ping, std::size_t size) {
  std::string pong = kPongPrefix;
  if (size > kPingPrefixSize) {
    pong.append(reinterpret_cast<const char*>(ping) + kPingPrefixSize, size - kPingPrefixSize);
  }
  return pong;
}

std::optional<std::int64_t> parse_pong(const std::uint8_t* data, std::size_t size) {
  if (!starts_with(data, size, kPongPrefix, kPingPrefixSize)) return std::nullopt;
  return parse_decimal_i64(data + kPingPrefixSize, data + size);
}

std::size_t write_audio_frame(const AudioFrameHeader& header, const std::uint8_t* payload,
                              std::size_t size, std::uint8_t* out, std::size_t capacity) {
  if (capacity < kAudioHeaderSize || size > capacity - kAudioHeaderSize) return 0;
  out[0] = header.version;
  out[1] = header.flags;
  write_u32(out + 2, header.sequence);
  write_u32(out + 6, header.timestamp);
  write_u32(out + 10, header.bitrate);
  write_u16(out + 14, static_cast<std::uint16_t>(size));
  if (payload != nullptr && size != 0) std::memcpy(out + kAudioHeaderSize, payload, size);
  return kAudioHeaderSize + size;
}

std::vector<std::uint8_t> build_audio_frame(const AudioFrameHeader& header,
                                            const std::uint8_t* payload, std::size_t size) {
  std::vector<std::uint8_t> frame(kAudioHeaderSize + size, 0);
  // A null payload with a size leaves the payload bytes zero.
  write_audio_frame(header, payload, payload != nullptr ? size : 0, frame.data(), frame.size());
  write_u16(frame.data() + 14, static_cast<std::uint16_t>(size));
  return frame;
}

bool parse_ctrl_header(const std::uint8_t* data, std::size_t size, CtrlHeader* out) {
  if (size < kCtrlHeaderSize || data[0] != kCtrlMagic) return false;
  CtrlHeader header;
  header.magic = data[0];
  header.type = static_cast<tovik::CtrlType>(data[1]);
  header.payload_size = read_u16(data + 2);
  if (size != kCtrlHeaderSize && header.payload_size > size - kCtrlHeaderSize) return false;
  *out = header;
  return true;
}

bool parse_audio_header(const std::uint8_t* data, std::size_t size, AudioFrameHeader* out) {
  if (size < kAudioHeaderSize || data[0] != 1) return false;
  AudioFrameHeader header;
  header.version = data[0];
  header.flags = data[1];
  header.sequence = read_u32(data + 2);
  header.timestamp = read_u32(data + 6);
  header.bitrate = read_u32(data + 10);
  header.payload_size = read_u16(data + 14);
  if (size != kAudioHeaderSize && header.payload_size > size - kAudioHeaderSize) return false;
  *out = header;
  return true;
}

DatagramKind classify_datagram(const std::uint8_t* data, std::size_t size, SessionRole role) {
  if (is_clock_message(data, size, kPongPrefix)) return DatagramKind::Pong;
  if (is_clock_message(data, size, kPingPrefix)) return DatagramKind::Ping;
  HelloMessage hello;
  if (role == SessionRole::Transmitter && parse_hello(data, size, &hello))
    return DatagramKind::Hello;
  if (size >= kCtrlHeaderSize && data[0] == kCtrlMagic) {
    CtrlHeader ctrl;
    return parse_ctrl_header(data, size, &ctrl) ? DatagramKind::Ctrl : DatagramKind::Dropped;
  }
  if (role == SessionRole::Receiver && size >= kAudioHeaderSize) {
    AudioFrameHeader audio;
    return parse_audio_header(data, size, &audio) ? DatagramKind::Audio : DatagramKind::Dropped;
  }
  return DatagramKind::Other;
}
