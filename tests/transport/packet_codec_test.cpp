#include "transport/packet_codec.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "transport/pairing_code.h"

namespace {

// "01 0a ff" as bytes.
std::string hex(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i + 1 < text.size(); i += 3) {
    out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
  }
  return out;
}

const std::uint8_t* bytes(const std::string& d) {
  return reinterpret_cast<const std::uint8_t*>(d.data());
}

std::string num(std::uint64_t value) { return std::to_string(value); }

// What a role makes of a datagram: its kind and the fields its parser reads.
std::string seen(const std::string& d, SessionRole role) {
  const std::uint8_t* p = bytes(d);
  HelloMessage h;
  CtrlHeader c;
  AudioFrameHeader a;
  switch (classify_datagram(p, d.size(), role)) {
    case DatagramKind::Pong:
      return "pong " + (parse_pong(p, d.size()) ? std::to_string(*parse_pong(p, d.size())) : "-");
    case DatagramKind::Ping:
      return "ping, answer " + build_pong(p, d.size());
    case DatagramKind::Hello:
      parse_hello(p, d.size(), &h);
      return "hello " + h.name + "/" + h.id + "/" + h.code;
    case DatagramKind::Ctrl:
      parse_ctrl_header(p, d.size(), &c);
      return "ctrl " + num(static_cast<int>(c.type)) + " +" + num(c.payload_size);
    case DatagramKind::Audio:
      parse_audio_header(p, d.size(), &a);
      return "audio " + num(a.flags) + " " + num(a.sequence) + " " + num(a.timestamp) + " " +
             num(a.bitrate) + " +" + num(a.payload_size);
    case DatagramKind::Dropped:
      return "dropped";
    default:
      return "other";
  }
}

const char kGoldenAudio[] = "01 05 01 02 03 04 a0 b0 c0 d0 00 01 f4 00 00 03 aa bb cc";

}  // namespace

TEST(PacketCodec, EachRoleClassifiesAndParsesDatagramsAsTheWireSays) {
  const struct {
    std::string datagram, transmitter, receiver;
  } cases[] = {
      {"TOVIK_HELLO|Phone|abc", "hello Phone/abc/", "dropped"},
      {"TOVIK_HELLO|Phone|abc|123456", "hello Phone/abc/123456", "dropped"},
      {"TOVIK_HELLO|Phone|abc|12|34", "hello Phone/abc/12|34", "dropped"},
      {"TOVIK_HELLO||", "hello //", "other"},
      {std::string("TOVIK_HELLO|a\0b|c", 17), std::string("hello a\0b/c/", 12), "dropped"},
      {"TOVIK_HELLO|", "other", "other"},
      {"TOVIK_HELLO\\Phone|abc", "other", "dropped"},
      {"TOVIK_PONG|987", "pong 987", "pong 987"},
      {"TOVIK_PONG| 42abc", "pong 42", "pong 42"},
      {"TOVIK_PONG|9223372036854775807", "pong 9223372036854775807", "pong 9223372036854775807"},
      {"TOVIK_PONG|-9223372036854775808", "pong -9223372036854775808", "pong -9223372036854775808"},
      {"TOVIK_PONG|9223372036854775808", "pong -", "pong -"},
      {"TOVIK_PONG|", "other", "other"},
      {"TOVIK_PING|x y", "ping, answer TOVIK_PONG|x y", "ping, answer TOVIK_PONG|x y"},
      {"TOVIK_PING|", "other", "other"},
      {"K", "other", "other"},
      {hex("c0 03 00 01 01"), "ctrl 3 +1", "ctrl 3 +1"},
      {hex("c0 01 00 08"), "ctrl 1 +8", "ctrl 1 +8"},  // a bare header passes whatever it declares
      {hex("c0 03 00 02 01"), "dropped", "dropped"},
      {hex("c1 01 00 00"), "other", "other"},
      {hex("c0 00 00 64") + std::string(16, '\0'), "dropped", "dropped"},
      {hex(kGoldenAudio), "other", "audio 5 16909060 2695938256 128000 +3"},
      {hex("01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 64"), "other", "audio 0 0 0 0 +100"},
      {hex("01 00 00 00 00 00 00 00 00 00 00 00 00 00 00 05 00 00 00 00"), "other", "dropped"},
      {hex("02 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"), "other", "dropped"},
      {hex("01 00 00 00 00 00 00 00 00 00 00 00 00 00 00"), "other", "other"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(seen(c.datagram, SessionRole::Transmitter), c.transmitter) << c.datagram;
    EXPECT_EQ(seen(c.datagram, SessionRole::Receiver), c.receiver) << c.datagram;
  }
}

TEST(PacketCodec, BuildersWriteTheGoldenBytes) {
  // The wire's payload size comes from the size argument, not the header.
  const AudioFrameHeader header{1, 5, 0x01020304, 0xA0B0C0D0, 128000, 999};
  const std::uint8_t payload[] = {0xAA, 0xBB, 0xCC};
  const std::vector<std::uint8_t> frame = build_audio_frame(header, payload, 3);
  std::uint8_t out[19];
  ASSERT_EQ(write_audio_frame(header, payload, 3, out, sizeof out), 19u);
  EXPECT_EQ(write_audio_frame(header, payload, 3, out, 18), 0u);
  const std::pair<std::string, std::string> cases[] = {
      {std::string(frame.begin(), frame.end()), hex(kGoldenAudio)},
      {std::string(out, out + 19), hex(kGoldenAudio)},
      {build_hello("Phone", "abc", ""), "TOVIK_HELLO|Phone|abc"},
      {build_hello("Phone", "abc", "042917"), "TOVIK_HELLO|Phone|abc|042917"},
      {build_ping(-42), "TOVIK_PING|-42"},
      {build_ping(INT64_MAX), "TOVIK_PING|9223372036854775807"},
      {build_ping(INT64_MIN), "TOVIK_PING|-9223372036854775808"},
  };
  for (const auto& [built, golden] : cases) EXPECT_EQ(built, golden);
}

TEST(PairingCode, DigitsComeFromTheHighWordAndLowWordsBelowSixAreRedrawn) {
  std::vector<std::uint32_t> words = {0u, 0xFFFFFFFFu, 0x1999999Au, 0x19999999u, 0x80000000u,
                                      5u, 0x33333334u, 0x4CCCCCCDu, 0xE6666667u, 0x1AAAAAAAu};
  std::size_t next = 0;
  // Low words 0, 4, 0 and 2 are redrawn; 0xE6666667 gives low word 6, the smallest kept.
  EXPECT_EQ(draw_pairing_code([&] { return words.at(next++); }), "900291");
  EXPECT_EQ(next, words.size());
  const std::string code = draw_pairing_code();
  EXPECT_TRUE(code.size() == 6 && code.find_first_not_of("0123456789") == std::string::npos);
}
