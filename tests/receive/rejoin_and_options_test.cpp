#include <gtest/gtest.h>

#include <iterator>
#include <regex>
#include <sstream>

#include "receive_options.h"
#include "receiver_state.h"
#include "rejoin_policy.h"
#include "status_line.h"
#include "support/test_support.h"

namespace {

// Feeds a policy "g<ms>" (greeted), "f<ms>" (a frame) and "p<ms>" (a poll);
// each poll's answer in turn: "-" nothing, "''" no code, or the code.
std::string rejoin(const std::string& code, const std::string& script) {
  RejoinPolicy policy(code);
  std::istringstream events(script);
  std::string event, answers;
  while (events >> event) {
    const std::int64_t ms = std::stoll(event.substr(1));
    if (event[0] == 'g') policy.on_greeted(ms);
    if (event[0] == 'f') policy.on_frame(ms);
    if (event[0] != 'p') continue;
    const std::optional<std::string> answer = policy.poll(ms);
    answers += !answer ? "- " : answer->empty() ? "'' " : *answer + " ";
  }
  return answers;
}

}  // namespace

TEST(RejoinPolicy, GreetsWhenFramesStopWithoutCodeOnceAccepted) {
  // Quiet before the first greeting and while frames flow; 600 ms without
  // frames is stale, and once accepted the first greeting goes without a code.
  EXPECT_EQ(rejoin("123456", "p5000 g10000 p10500 f10100 p10700 f10680 p11279 p11280"),
            "- - - - '' ");
  // Greetings a second apart, in turn without the code and with it (forgotten after all?).
  EXPECT_EQ(rejoin("123456", "g0 f100 f5000 p5500 p5600 p6500 p6600 p7600 p8600 f8700 p9000 p9700"),
            "- '' - 123456 '' 123456 - '' ");
  // Never accepted: the code every time; a frame sent before the last HELLO does not count.
  EXPECT_EQ(rejoin("999999", "g0 p999 p1000 p2000 f1500 p3000"), "- 999999 999999 999999 ");
  EXPECT_EQ(rejoin("", "g0 p1000 p2000"), "'' '' ");
}

TEST(ReceiverState, IdIsDrawnOnceAndKeptWithTheTransmittersLatestLast) {
  test::TempDir dir;
  const std::string folder = dir.path() + "/tovik-receive";
  std::string id;
  {
    ReceiverState state(folder);
    id = state.id();
    for (int k = 0; k < 20; ++k) state.remember_transmitter("tovik-" + std::to_string(k));
    for (const char* transmitter : {"tovik-a", "tovik-b", "tovik-a"}) {
      state.remember_transmitter(transmitter);
    }
  }
  EXPECT_TRUE(std::regex_match(id, std::regex("rx-[0-9a-f]{16}"))) << id;
  EXPECT_EQ(test::read_file_bytes(folder + "/receiver_id").value_or("").find(id), 0u);
  const ReceiverState again(folder);
  EXPECT_EQ(again.id(), id);
  ASSERT_EQ(again.transmitters().size(), ReceiverState::kMaxTransmitters);
  EXPECT_EQ(
      again.transmitters()[0] + " " + again.transmitters()[14] + " " + again.transmitters()[15],
      "tovik-6 tovik-b tovik-a");
  EXPECT_NE(ReceiverState(std::nullopt).id(), id);  // without a folder, drawn afresh
}

TEST(ReceiveOptions, ParsesTheCommandLine) {
  std::string error;
  const auto described = [&](const std::vector<std::string>& args) -> std::string {
    const auto o = parse_receive_options(args, &error);
    if (!o) return "error";
    std::ostringstream out;
    if (o->receiver.to)
      out << format_ipv4(o->receiver.to->ip) << ":" << o->receiver.to->port << " ";
    out << "code '" << o->receiver.code << "' latency " << o->receiver.latency_ms << " out '"
        << o->out << "' s16 " << (o->format == WavSampleFormat::Pcm16) << " duration "
        << o->duration_s << " name '" << o->receiver.name << "' quiet " << o->quiet << " help "
        << o->help;
    return out.str();
  };
  EXPECT_EQ(
      described({"--to", "127.0.0.1:5000", "--code", "042917", "--latency", "0", "--out", "x.wav",
                 "--format", "s16", "--duration", "2.5", "--name", "Kitchen", "--quiet"}),
      "127.0.0.1:5000 code '042917' latency 0 out 'x.wav' s16 1 duration 2.5 name 'Kitchen' "
      "quiet 1 help 0");
  EXPECT_EQ(described({"--help"}),
            "code '' latency -1 out '' s16 0 duration 0 name 'Tovik Receiver' quiet 0 help 1");
  EXPECT_EQ(parse_transmitter_address("localhost")->port, 19483);
  EXPECT_EQ(described({"--code", "123 456"}), "error");
  EXPECT_EQ(parse_typed_code(" 123 456\r").value_or("?") + parse_typed_code("").value_or("?") +
                parse_typed_code("12345").value_or("?") + parse_typed_code("12a456").value_or("?"),
            "123456??");
  for (const char* wrong : {"--code 12345", "--to example.org", "--to 10.0.0.1:0", "--latency -5",
                            "--format mp3", "--out"}) {
    std::istringstream words(wrong);
    EXPECT_EQ(described({std::istream_iterator<std::string>(words), {}}), "error") << wrong;
  }
}

TEST(StatusLine, ShowsTheCountsBufferAndRtt) {
  const ReceiveStats s{1500, 12, 11, 0, 3, 0, 0, 0, 0, 0, 24.4, 25, 0, true};
  EXPECT_EQ(format_status(s, 7, tovik::ConnectionState::Connected),
            "connected, playing | frames 1500 lost 12 concealed 11 late 3 dup 0 | buffer 24 ms "
            "(target 25, jitter 0) | rtt 7 ms");
}
