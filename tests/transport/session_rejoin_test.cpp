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

std::unique_ptr<SessionTransport> started_transmitter(const test::LoopbackPeer& sink) {
  auto transmitter = SessionTransport::create(test::loopback_transmitter_config(sink)).object;
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
  EXPECT_EQ(receiver->send_hello(""), ErrorCode::ConnectionLost);  // no peer yet
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
