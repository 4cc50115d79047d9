#include <gtest/gtest.h>

#include "receive_options.h"
#include "rejoin_policy.h"
#include "status_line.h"

TEST(RejoinPolicy, QuietUntilGreetedAndWhileFramesFlow) {
  RejoinPolicy policy("123456");
  EXPECT_FALSE(policy.poll(5000));  // nothing greeted yet: still searching
  policy.on_greeted(10000);
  EXPECT_FALSE(policy.poll(10500));
  for (std::int64_t t = 10100; t < 20000; t += 20) {
    policy.on_frame(t);
    ASSERT_FALSE(policy.poll(t + 10));
  }
  EXPECT_TRUE(policy.accepted());
}

TEST(RejoinPolicy, AcceptedReceiverGreetsWithoutCodeThenWithTheCodeInTurn) {
  RejoinPolicy policy("123456");
  policy.on_greeted(0);
  policy.on_frame(100);
  policy.on_frame(5000);  // then frames stop
  EXPECT_FALSE(policy.poll(5500));
  EXPECT_EQ(policy.poll(5600), std::optional<std::string>(""));  // remembered: no code needed
  EXPECT_FALSE(policy.poll(6500));
  EXPECT_EQ(policy.poll(6600), std::optional<std::string>("123456"));  // forgotten after all?
  EXPECT_EQ(policy.poll(7600), std::optional<std::string>(""));
  EXPECT_EQ(policy.poll(8600), std::optional<std::string>("123456"));
  policy.on_frame(8700);
  EXPECT_FALSE(policy.poll(9000));
  // Frames stop again: no code first once more.
  EXPECT_EQ(policy.poll(9700), std::optional<std::string>(""));
}

TEST(RejoinPolicy, NeverAcceptedCodeIsNotBypassed) {
  RejoinPolicy policy("999999");
  policy.on_greeted(0);
  for (std::int64_t t = 1000; t < 10000; t += 1000) {
    EXPECT_EQ(policy.poll(t), std::optional<std::string>("999999")) << t;
  }
  EXPECT_FALSE(policy.accepted());
  // A frame that was under way before the last HELLO does not count.
  policy.on_frame(8500);
  EXPECT_FALSE(policy.accepted());
}

TEST(RejoinPolicy, WithoutCodeAlwaysEmpty) {
  RejoinPolicy policy("");
  policy.on_greeted(0);
  EXPECT_EQ(policy.poll(1000), std::optional<std::string>(""));
  EXPECT_EQ(policy.poll(2000), std::optional<std::string>(""));
}

TEST(ReceiveOptions, ParsesTheCommandLine) {
  std::string error;
  auto o = parse_receive_options(
      {"--to", "127.0.0.1:5000", "--code", "042917", "--latency", "0", "--out", "x.wav", "--format",
       "s16", "--duration", "2.5", "--name", "Kitchen", "--quiet"},
      &error);
  ASSERT_TRUE(o) << error;
  ASSERT_TRUE(o->receiver.to);
  EXPECT_EQ(o->receiver.to->ip, kIpv4Loopback);
  EXPECT_EQ(o->receiver.to->port, 5000);
  EXPECT_EQ(o->receiver.code, "042917");
  EXPECT_EQ(o->receiver.latency_ms, 0);
  EXPECT_EQ(o->out, "x.wav");
  EXPECT_EQ(o->format, WavSampleFormat::Pcm16);
  EXPECT_EQ(o->duration_s, 2.5);
  EXPECT_EQ(o->receiver.name, "Kitchen");
  EXPECT_TRUE(o->quiet);

  auto defaults = parse_receive_options({}, &error);
  ASSERT_TRUE(defaults);
  EXPECT_FALSE(defaults->receiver.to);
  EXPECT_EQ(defaults->receiver.latency_ms, -1);
  EXPECT_EQ(defaults->out, "");
  EXPECT_EQ(parse_transmitter_address("localhost")->port, 19483);

  EXPECT_FALSE(parse_receive_options({"--code", "12345"}, &error));
  EXPECT_FALSE(parse_receive_options({"--code", "123 456"}, &error));
  EXPECT_FALSE(parse_receive_options({"--to", "example.org"}, &error));
  EXPECT_FALSE(parse_receive_options({"--to", "10.0.0.1:0"}, &error));
  EXPECT_FALSE(parse_receive_options({"--latency", "-5"}, &error));
  EXPECT_FALSE(parse_receive_options({"--format", "mp3"}, &error));
  EXPECT_FALSE(parse_receive_options({"--out"}, &error));
  EXPECT_TRUE(parse_receive_options({"--help"}, &error)->help);
}

TEST(StatusLine, ShowsTheCountsBufferAndRtt) {
  ReceiveStats s;
  s.frames = 1500;
  s.lost = 12;
  s.concealed = 11;
  s.late = 3;
  s.buffer_ms = 24.4;
  s.target_ms = 25;
  s.playing = true;
  const std::string line = format_status(s, 7, tovik::ConnectionState::Connected);
  EXPECT_EQ(line,
            "connected, playing | frames 1500 lost 12 concealed 11 late 3 dup 0 | buffer 24 ms "
            "(target 25, jitter 0) | rtt 7 ms");
}
