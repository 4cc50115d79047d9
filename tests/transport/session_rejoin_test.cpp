#include <gtest/gtest.h>

#include <atomic>

#include "session_harness.h"
#include "transport/session_transport.h"

using tovik::ConnectionState;

namespace {

// A receiver whose listener hears nothing: it only greets when told to.
TransportConfig quiet_receiver_config() {
  TransportConfig config;
  config.device_name = "Kitchen";
  config.device_id = "rx-kitchen";
  config.is_transmitter = false;
  config.discovery.port = test::free_udp_port();
  config.discovery.broadcast_ip = kIpv4Loopback;
  return config;
}

std::unique_ptr<SessionTransport> started_transmitter(const test::LoopbackPeer& sink,
                                                      std::uint16_t port = 0) {
  TransportConfig config = test::loopback_transmitter_config(sink);
  config.audio_port = port;
  auto transmitter = SessionTransport::create(config).object;
  transmitter->set_approval_callback([](const std::string&, const std::string&) { return true; });
  if (transmitter->start() != ErrorCode::Ok) return nullptr;
  return transmitter;
}

// Counts the 3-byte test frames that reach the receiver.
struct FrameCounter {
  std::atomic<int> frames{0};
  SessionTransport::FrameCallback callback() {
    return [this](const AudioFrameHeader&, const unsigned char*, std::size_t size) {
      if (size == 3) ++frames;
    };
  }
};

// Sends frames until the receiver has counted `want` more of them.
bool frames_flow(SessionTransport& transmitter, FrameCounter& counter, int want = 5) {
  const int start = counter.frames;
  const std::uint8_t payload[] = {1, 2, 3};
  AudioFrameHeader header;
  return test::wait_until([&] {
    transmitter.send_audio_frame(header, payload, sizeof payload);
    ++header.sequence;
    return counter.frames >= start + want;
  });
}

}  // namespace

TEST(ReceiverGreeting, ConnectToGreetsATransmitterWithoutAnnouncement) {
  test::AppDataScope app_data;
  test::LoopbackPeer sink;
  auto transmitter = started_transmitter(sink);
  ASSERT_TRUE(transmitter);
  test::StateLog states;
  FrameCounter counter;
  auto receiver = SessionTransport::create(quiet_receiver_config()).object;
  receiver->set_state_callback(states.callback());
  receiver->set_frame_callback(counter.callback());
  receiver->set_code_to_present(transmitter->pairing_code());

  EXPECT_EQ(receiver->connect_to("127.0.0.1", transmitter->audio_port(), "Office"),
            ErrorCode::ConnectionLost);  // not started
  ASSERT_EQ(receiver->start(), ErrorCode::Ok);
  EXPECT_EQ(receiver->connect_to("localhost", 1, "x"), ErrorCode::InvalidArgument);
  ASSERT_EQ(receiver->connect_to("127.0.0.1", transmitter->audio_port(), "Office"), ErrorCode::Ok);
  EXPECT_TRUE(frames_flow(*transmitter, counter));
  EXPECT_TRUE(states.has(ConnectionState::Connecting, "Office"));
  EXPECT_TRUE(states.has(ConnectionState::Connected, "Office"));
  EXPECT_EQ(receiver->state(), ConnectionState::Connected);
  const std::string port = std::to_string(transmitter->audio_port());
  EXPECT_TRUE(test::log_has_line_starting(app_data, "connection.log",
                                          "Sent HELLO to 127.0.0.1:" + port + " ("));
  EXPECT_TRUE(
      test::log_has_line_starting(app_data, "connection.log", "Received HELLO from 127.0.0.1:"));
  EXPECT_FALSE(test::log_has_line_starting(app_data, "connection.log", "Discovered transmitter"));
  receiver->stop();
  EXPECT_EQ(receiver->connect_to("127.0.0.1", transmitter->audio_port(), "Office"),
            ErrorCode::ConnectionLost);
}

TEST(ReceiverGreeting, SendHelloRejoinsARestartedTransmitter) {
  test::AppDataScope app_data;
  test::LoopbackPeer sink;
  auto first = started_transmitter(sink);
  ASSERT_TRUE(first);
  const std::uint16_t port = first->audio_port();
  const std::string old_code = first->pairing_code();
  FrameCounter counter;
  test::StateLog states;
  auto receiver = SessionTransport::create(quiet_receiver_config()).object;
  receiver->set_frame_callback(counter.callback());
  receiver->set_state_callback(states.callback());
  receiver->set_code_to_present(old_code);
  ASSERT_EQ(receiver->start(), ErrorCode::Ok);
  EXPECT_EQ(receiver->send_hello(old_code), ErrorCode::ConnectionLost);  // no peer yet
  ASSERT_EQ(receiver->connect_to("127.0.0.1", port, "Office"), ErrorCode::Ok);
  ASSERT_TRUE(frames_flow(*first, counter));

  // The transmitter restarts on the same port with a new code.
  first->stop();
  first.reset();
  auto second = started_transmitter(sink, port);
  ASSERT_TRUE(second);
  if (second->pairing_code() == old_code) GTEST_SKIP() << "the new code happened to repeat";
  ASSERT_EQ(receiver->send_hello(old_code), ErrorCode::Ok);
  const std::string mismatch = "Pairing code MISMATCH: got '" + old_code + "' expected '" +
                               second->pairing_code() + "' \xE2\x80\x94 rejecting";
  ASSERT_TRUE(
      test::wait_until([&] { return test::log_has_line(app_data, "connection.log", mismatch); }));
  EXPECT_NE(second->state(), ConnectionState::Connected);

  // An empty code is admitted without the pairing check.
  const int connected_reports = states.count(ConnectionState::Connected);
  ASSERT_EQ(receiver->send_hello(""), ErrorCode::Ok);
  EXPECT_TRUE(frames_flow(*second, counter));
  EXPECT_EQ(states.count(ConnectionState::Connected), connected_reports + 1);
  EXPECT_TRUE(states.has(ConnectionState::Connecting, "Office"));
  receiver->stop();
}
