// The whole receiver against a real transmitter session on 127.0.0.1, with
// the transmitter's Opus settings, real time and the impairment relay between
// them, recording as tovik-receive --out does. Only correctness here: how fast and how clean (a
// busy machine stalls threads) is judged with TOVIK_QUALITY_BARS.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "file_sinks.h"
#include "paced_sink.h"
#include "receiver.h"
#include "relay.h"
#include "signal_tools.h"
#include "support/test_support.h"

namespace {

// A transmitter session on a loopback port that announces to nobody,
// streaming a 997 Hz tone.
struct Transmitter {
  std::unique_ptr<SessionTransport> session;
  std::unique_ptr<SignalStreamer> streamer;
  explicit Transmitter(std::uint16_t port = 0, std::vector<std::string> remembered = {}) {
    TransportConfig config;
    config.remembered_receivers = std::move(remembered);
    config.device_id = "tovik-5167a1000000beef";
    config.audio_port = port;
    config.discovery.port = 9;  // discard: the announcement goes nowhere
    config.discovery.broadcast_ip = kIpv4Loopback;
    session = SessionTransport::create(config).object;
    session->set_approval_callback([](const std::string&, const std::string&) { return true; });
    EXPECT_EQ(session->start(), ErrorCode::Ok);
    SignalSpec tone;
    tone.frequency_hz = 997;
    streamer = std::make_unique<SignalStreamer>(*session, tone);
    EXPECT_EQ(streamer->start(), ErrorCode::Ok);
  }
  ~Transmitter() {
    streamer->stop();
    session->stop();
  }
};

}  // namespace

TEST(ReceiverLoopback, PlaysThroughLossAndJitterAndRejoinsARestartedTransmitter) {
  test::AppDataScope app_data;
  auto transmitter = std::make_unique<Transmitter>();
  const std::uint16_t port = transmitter->session->audio_port();
  RelayConfig relay_config;
  relay_config.server = {kIpv4Loopback, port};
  relay_config.to_client.drop_percent = 10;
  relay_config.to_client.jitter_ms = 20;
  relay_config.to_server.drop_percent = 10;
  relay_config.seed = 77;
  ImpairmentRelay relay(relay_config);
  ASSERT_EQ(relay.start(), ErrorCode::Ok);
  const std::string recording = app_data.tovik_path("heard.wav");
  PacedSink sink(std::make_unique<WavFileSink>(recording, WavSampleFormat::Float32, 480));
  ReceiverConfig config;
  config.id = "rx-loopback";
  config.code = transmitter->session->pairing_code();
  config.to = SocketAddress{kIpv4Loopback, relay.port()};
  Receiver receiver(config, sink);
  ASSERT_EQ(receiver.start(), ErrorCode::Ok);
  const auto enough = [&](std::uint64_t frames) {
    return test::wait_until([&] { return receiver.stats().frames >= frames; },
                            std::chrono::seconds(60));
  };
  ASSERT_TRUE(enough(150));
  const ReceiveStats s = receiver.stats();
  EXPECT_GT(s.lost, 5u);
  EXPECT_GT(s.concealed, 5u);

  // A new process that remembers the receiver: same port, a new pairing
  // code, sequences from 0 again.
  transmitter.reset();
  const auto restarted = std::chrono::steady_clock::now();
  transmitter = std::make_unique<Transmitter>(port, std::vector<std::string>{"rx-loopback"});
  ASSERT_TRUE(enough(receiver.stats().frames + 25));
  EXPECT_GE(receiver.rejoins(), 1);
  EXPECT_GE(receiver.stats().resyncs, 1u);
#ifdef TOVIK_QUALITY_BARS
  EXPECT_LT(std::chrono::steady_clock::now() - restarted, std::chrono::milliseconds(3500));
#endif
  static_cast<void>(restarted);
  receiver.stop();
  // The pitch is right (drift control moves it by at most 0.4 %).
  const std::vector<float> heard = read_float_wav_left(recording);
  const std::size_t start = first_active(heard, 1e-3f);
  ASSERT_GT(heard.size(), start + 48000);
  EXPECT_NEAR(tone_frequency(std::vector<float>(heard.begin() + start, heard.end())), 997, 10);
}
