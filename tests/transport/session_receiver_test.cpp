#include <gtest/gtest.h>

#include <atomic>

#include "session_harness.h"
#include "transport/session_transport.h"

using tovik::ConnectionState;

namespace {

TransportConfig receiver_config(std::uint16_t discovery_port) {
  TransportConfig config;
  config.device_name = "Kitchen";
  config.device_id = "rx-kitchen";
  config.is_transmitter = false;
  config.discovery.port = discovery_port;
  config.discovery.broadcast_ip = kIpv4Loopback;
  return config;
}

}  // namespace

// Our receiver role against our transmitter, on loopback: announcement ->
// HELLO with the code -> Connected on both sides -> frames -> PING/PONG.
TEST(ReceiverRole, PairsWithOurTransmitterAndReceivesFrames) {
  test::AppDataScope app_data;
  const std::uint16_t discovery_port = test::free_udp_port();

  TransportConfig tx_config;
  tx_config.device_name = "Office PC";
  tx_config.device_id = "tovik-0123456789abcdef";
  tx_config.audio_port = 0;
  tx_config.discovery.port = discovery_port;
  tx_config.discovery.broadcast_ip = kIpv4Loopback;
  // The logs outlive the sessions, whose destructors report Disconnected.
  test::StateLog tx_states;
  test::StateLog rx_states;
  auto transmitter = SessionTransport::create(tx_config).object;
  ASSERT_TRUE(transmitter);
  transmitter->set_state_callback(tx_states.callback());
  transmitter->set_approval_callback([](const std::string&, const std::string&) { return true; });

  auto receiver = SessionTransport::create(receiver_config(discovery_port)).object;
  ASSERT_TRUE(receiver);
  std::atomic<int> frames{0};
  std::atomic<std::uint32_t> last_sequence{0};
  receiver->set_state_callback(rx_states.callback());
  receiver->set_code_to_present(transmitter->pairing_code());
  receiver->set_frame_callback(
      [&](const AudioFrameHeader& header, const unsigned char*, std::size_t size) {
        if (size == 3) {
          last_sequence = header.sequence;
          ++frames;
        }
      });

  ASSERT_EQ(receiver->start(), ErrorCode::Ok);
  ASSERT_EQ(transmitter->start(), ErrorCode::Ok);
  ASSERT_TRUE(test::wait_until([&] {
    return tx_states.has(ConnectionState::Connected, "Kitchen");
  })) << test::read_file_bytes(app_data.tovik_path("connection.log")).value_or("")
      << "\n"
      << test::read_file_bytes(app_data.tovik_path("discovery.log")).value_or("");
  // The receiver reports Connected after its HELLO has left: wait for it too.
  ASSERT_TRUE(
      test::wait_until([&] { return rx_states.has(ConnectionState::Connected, "Office PC"); }));
  auto rx = rx_states.reports();
  ASSERT_GE(rx.size(), 3u);
  EXPECT_EQ(rx[0], std::make_pair(ConnectionState::Searching, std::string()));
  EXPECT_EQ(rx[1], std::make_pair(ConnectionState::Connecting, std::string("Office PC")));
  EXPECT_EQ(rx[2], std::make_pair(ConnectionState::Connected, std::string("Office PC")));

  const std::uint8_t payload[] = {1, 2, 3};
  AudioFrameHeader header;
  for (std::uint32_t sequence = 0; sequence < 20; ++sequence) {
    header.sequence = sequence;
    EXPECT_EQ(transmitter->send_audio_frame(header, payload, sizeof payload), ErrorCode::Ok);
  }
  ASSERT_TRUE(test::wait_until([&] { return frames >= 15 && last_sequence == 19; }));

  // The receiver's keepalive and PONGs keep the link alive on both sides.
  EXPECT_TRUE(test::wait_until([&] {
    return test::log_has_line(app_data, "connection.log", "Keepalive loop started") &&
           test::log_has_line_starting(app_data, "connection.log", "Received UDP frame #3, size=");
  }));
  EXPECT_TRUE(test::log_has_line(app_data, "connection.log",
                                 "Discovered transmitter 'Office PC' at 127.0.0.1:" +
                                     std::to_string(transmitter->audio_port())));
  EXPECT_EQ(tx_states.count(ConnectionState::Searching), 1);

  receiver->stop();
  transmitter->stop();
  EXPECT_TRUE(test::log_has_line(app_data, "connection.log", "Receiver listen loop exited"));
  EXPECT_TRUE(test::log_has_line(app_data, "connection.log", "Keepalive loop exited"));
  EXPECT_EQ(rx_states.count(ConnectionState::Disconnected), 1);
}
