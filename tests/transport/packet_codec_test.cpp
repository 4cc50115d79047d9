#include "transport/packet_codec.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::optional<HelloMessage> hello(const std::string& text) {
  Bytes data = bytes(text);
  HelloMessage out;
  if (!parse_hello(data.data(), data.size(), &out)) return std::nullopt;
  return out;
}

DatagramKind kind(const Bytes& data, SessionRole role) {
  return classify_datagram(data.data(), data.size(), role);
}

std::optional<std::int64_t> pong(const std::string& text) {
  Bytes data = bytes(text);
  return parse_pong(data.data(), data.size());
}

}  // namespace

TEST(Hello, SplitsAtTheFirstTwoSeparatorsAndRejectsOthers) {
  const struct {
    std::string text;
    bool ok;
    std::string name, id, code;
  } cases[] = {
      {"TOVIK_HELLO|Phone|abc", true, "Phone", "abc", ""},
      {"TOVIK_HELLO|Phone|abc|123456", true, "Phone", "abc", "123456"},
      {"TOVIK_HELLO|Phone|abc|12|34", true, "Phone", "abc", "12|34"},
      {"TOVIK_HELLO|My|Phone|dev-1", true, "My", "Phone", "dev-1"},
      {"TOVIK_HELLO|Phone|", true, "Phone", "", ""},
      {"TOVIK_HELLO||", true, "", "", ""},
      {std::string("TOVIK_HELLO|a\0b|c", 17), true, std::string("a\0b", 3), "c", ""},
      {"TOVIK_HELLO|", false, "", "", ""},
      {"TOVIK_HELLO|Phone", false, "", "", ""},
      {"TOVIK_HELLO", false, "", "", ""},
      {"", false, "", "", ""},
  };
  for (const auto& c : cases) {
    const auto parsed = hello(c.text);
    ASSERT_EQ(parsed.has_value(), c.ok) << c.text;
    if (!c.ok) continue;
    EXPECT_EQ(std::make_tuple(parsed->name, parsed->id, parsed->code),
              std::make_tuple(c.name, c.id, c.code))
        << c.text;
  }
  for (std::size_t i = 0; i < 12; ++i) {
    std::string changed = "TOVIK_HELLO|Phone|abc";
    changed[i] = static_cast<char>(changed[i] ^ 0x20);
    EXPECT_FALSE(hello(changed)) << i;
  }
  EXPECT_EQ(build_hello("Phone", "abc", ""), "TOVIK_HELLO|Phone|abc");
  EXPECT_EQ(build_hello("Phone", "abc", "042917"), "TOVIK_HELLO|Phone|abc|042917");
}

TEST(PingPong, PingIsSignedDecimalPongEchoesAndParsesLikeStrtoll) {
  EXPECT_EQ(build_ping(-42), "TOVIK_PING|-42");
  EXPECT_EQ(build_ping(INT64_MAX), "TOVIK_PING|9223372036854775807");
  EXPECT_EQ(build_ping(INT64_MIN), "TOVIK_PING|-9223372036854775808");
  for (const std::string& ping :
       {std::string("TOVIK_PING|x y"), std::string("TOVIK_PING|1\0002", 14)}) {
    const Bytes data = bytes(ping);
    EXPECT_EQ(build_pong(data.data(), data.size()), "TOVIK_PONG|" + ping.substr(11));
  }
  const std::pair<const char*, std::optional<std::int64_t>> pongs[] = {
      {"TOVIK_PONG|987", 987},
      {"TOVIK_PONG| 42abc", 42},
      {"TOVIK_PONG|\t-7", -7},
      {"TOVIK_PONG|+5", 5},
      {"TOVIK_PONG|9223372036854775807", INT64_MAX},
      {"TOVIK_PONG|-9223372036854775808", INT64_MIN},
      {"TOVIK_PONG|9223372036854775808", std::nullopt},
      {"TOVIK_PONG|-9223372036854775809", std::nullopt},
      {"TOVIK_PONG|abc", std::nullopt},
      {"TOVIK_PONG|-", std::nullopt},
      {"TOVIK_PONG|", std::nullopt},
      {"TOVIK_PING|5", std::nullopt},
  };
  for (const auto& [text, value] : pongs) EXPECT_EQ(pong(text), value) << text;
}

TEST(Ctrl, AcceptsWhenTheDeclaredPayloadFits) {
  CtrlHeader header;
  Bytes paused = {0xC0, 0x03, 0x00, 0x01, 0x01};
  ASSERT_TRUE(parse_ctrl_header(paused.data(), paused.size(), &header));
  EXPECT_EQ(header.magic, 0xC0);
  EXPECT_EQ(header.type, tovik::CtrlType::SetPaused);
  EXPECT_EQ(header.payload_size, 1);

  Bytes too_long = {0xC0, 0x03, 0x00, 0x05, 0x01};
  EXPECT_FALSE(parse_ctrl_header(too_long.data(), too_long.size(), &header));

  Bytes header_only = {0xC0, 0x01, 0x00, 0x08};
  ASSERT_TRUE(parse_ctrl_header(header_only.data(), header_only.size(), &header));
  EXPECT_EQ(header.payload_size, 8);

  Bytes wrong_magic = {0xC1, 0x01, 0x00, 0x00};
  EXPECT_FALSE(parse_ctrl_header(wrong_magic.data(), wrong_magic.size(), &header));
  Bytes short_one = {0xC0, 0x01, 0x00};
  EXPECT_FALSE(parse_ctrl_header(short_one.data(), short_one.size(), &header));
}

TEST(Audio, BuildLaysOutTheHeaderBigEndian) {
  AudioFrameHeader header;
  header.flags = 0;
  header.sequence = 258;
  header.timestamp = 960;
  header.bitrate = 128000;
  header.payload_size = 999;  // the wire field comes from the size argument
  const std::uint8_t payload[] = {0xAA, 0xBB, 0xCC};
  Bytes expected = {0x01, 0x00, 0x00, 0x00, 0x01, 0x02, 0x00, 0x00, 0x03, 0xC0,
                    0x00, 0x01, 0xF4, 0x00, 0x00, 0x03, 0xAA, 0xBB, 0xCC};
  EXPECT_EQ(build_audio_frame(header, payload, 3), expected);

  std::uint8_t out[32];
  ASSERT_EQ(write_audio_frame(header, payload, 3, out, sizeof out), 19u);
  EXPECT_EQ(Bytes(out, out + 19), expected);
  EXPECT_EQ(write_audio_frame(header, payload, 3, out, 18), 0u);
}

TEST(Audio, BuildWithoutPayloadPointerLeavesZeros) {
  AudioFrameHeader header;
  Bytes frame = build_audio_frame(header, nullptr, 4);
  ASSERT_EQ(frame.size(), 20u);
  EXPECT_EQ(frame[15], 4);
  EXPECT_EQ(Bytes(frame.begin() + 16, frame.end()), Bytes(4, 0));
}

TEST(Audio, ParseAcceptsWhenTheDeclaredPayloadFits) {
  AudioFrameHeader header;
  header.sequence = 0x01020304;
  header.timestamp = 0xA0B0C0D0;
  header.bitrate = 64000;
  Bytes exact = build_audio_frame(header, nullptr, 0);
  exact[14] = 0x00;
  exact[15] = 100;
  AudioFrameHeader parsed;
  ASSERT_TRUE(parse_audio_header(exact.data(), exact.size(), &parsed));
  EXPECT_EQ(parsed.sequence, 0x01020304u);
  EXPECT_EQ(parsed.timestamp, 0xA0B0C0D0u);
  EXPECT_EQ(parsed.bitrate, 64000u);
  EXPECT_EQ(parsed.payload_size, 100);

  Bytes twenty = build_audio_frame(header, nullptr, 4);
  twenty[15] = 5;
  EXPECT_FALSE(parse_audio_header(twenty.data(), twenty.size(), &parsed));
  twenty[15] = 2;
  EXPECT_TRUE(parse_audio_header(twenty.data(), twenty.size(), &parsed));

  twenty[0] = 2;
  EXPECT_FALSE(parse_audio_header(twenty.data(), twenty.size(), &parsed));
  EXPECT_FALSE(parse_audio_header(twenty.data(), 15, &parsed));
}

TEST(Classify, FollowsTheWirePriorityOrder) {
  const auto tx = SessionRole::Transmitter;
  const auto rx = SessionRole::Receiver;
  EXPECT_EQ(kind(bytes("TOVIK_PONG|1"), tx), DatagramKind::Pong);
  EXPECT_EQ(kind(bytes("TOVIK_PING|1"), rx), DatagramKind::Ping);
  // Exactly the prefix is not a PING or PONG.
  EXPECT_EQ(kind(bytes("TOVIK_PING|"), tx), DatagramKind::Other);
  EXPECT_EQ(kind(bytes("TOVIK_PONG|"), rx), DatagramKind::Other);
  EXPECT_EQ(kind(bytes("TOVIK_HELLO|a|b"), tx), DatagramKind::Hello);
  EXPECT_EQ(kind(bytes("TOVIK_HELLO|a|b"), rx), DatagramKind::Other);
  EXPECT_EQ(kind({0x4B}, tx), DatagramKind::Other);
  EXPECT_EQ(kind({0xC0, 0x03, 0x00, 0x01, 0x01}, tx), DatagramKind::Ctrl);
  EXPECT_EQ(kind({0xC0, 0x03, 0x00, 0x05, 0x01}, tx), DatagramKind::Dropped);

  // A 20-byte datagram starting with C0 that declares 100 bytes is dropped, not audio.
  Bytes ctrl_like(20, 0);
  ctrl_like[0] = 0xC0;
  ctrl_like[3] = 100;
  EXPECT_EQ(kind(ctrl_like, rx), DatagramKind::Dropped);

  AudioFrameHeader header;
  Bytes audio = build_audio_frame(header, nullptr, 0);
  EXPECT_EQ(kind(audio, rx), DatagramKind::Audio);
  EXPECT_EQ(kind(audio, tx), DatagramKind::Other);
  audio[0] = 7;
  EXPECT_EQ(kind(audio, rx), DatagramKind::Dropped);
}
