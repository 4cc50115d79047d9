// The periods a peer relies on, on a fake clock: the transmitter's PING every
// 2 s and its 5 s silence limit, the receiver role's keepalive every 10 ms.
#include <gtest/gtest.h>

#include "session_harness.h"
#include "support/fake_clock.h"
#include "transport/session_transport.h"

using tovik::ConnectionState;

namespace {

// How long a check that nothing arrives watches.
constexpr std::chrono::milliseconds kQuiet{150};

bool is_ping(const std::string& d) { return d.rfind("TOVIK_PING|", 0) == 0; }
bool is_keepalive(const std::string& d) { return d == "K"; }

class TransmitterTimers : public ::testing::Test {
 protected:
  void SetUp() override {
    session_ = SessionTransport::create(test::loopback_transmitter_config(sink_, &clock_)).object;
    session_->set_state_callback(states_.callback());
    session_->set_approval_callback([this](const std::string&, const std::string&) {
      ++approvals_;
      return true;
    });
    ASSERT_EQ(session_->start(), ErrorCode::Ok);
    phone_.send(build_hello("Phone", "rx-1", session_->pairing_code()), session_->audio_port());
    ASSERT_TRUE(test::wait_until([&] { return states_.has(ConnectionState::Connected, "Phone"); }));
    ASSERT_TRUE(phone_.receive(is_ping));  // the first one goes out at once
  }

  // A datagram from the phone at the fake clock's time; its PONG proves it was taken.
  void phone_speaks() {
    phone_.send("TOVIK_PING|7", session_->audio_port());
    ASSERT_TRUE(phone_.receive([](const std::string& d) { return d == "TOVIK_PONG|7"; }));
  }

  test::AppDataScope app_data_;
  test::LoopbackPeer sink_;
  test::LoopbackPeer phone_;
  FakeClock clock_;
  test::StateLog states_;
  std::atomic<int> approvals_{0};
  std::unique_ptr<SessionTransport> session_;
};

}  // namespace

TEST_F(TransmitterTimers, PingsEveryTwoSeconds) {
  for (int period = 0; period < 3; ++period) {
    clock_.advance_ms(1999);
    EXPECT_FALSE(phone_.receive(is_ping, kQuiet)) << "PING before 2 s had passed";
    clock_.advance_ms(1);
    ASSERT_TRUE(phone_.receive(is_ping));
    phone_speaks();
  }
}

TEST_F(TransmitterTimers, DropsTheReceiverOnlyAfterMoreThanFiveSilentSeconds) {
  clock_.advance_ms(1000);
  phone_speaks();  // the last datagram, at 1 s
  session_->handle_datagram(reinterpret_cast<const std::uint8_t*>("TOVIK_PONG|1000000"), 18,
                            phone_.address());  // an RTT sample of 1000 ms
  ASSERT_EQ(session_->rtt_ms(), 1000);
  for (int ping = 0; ping < 3; ++ping) {
    clock_.advance_ms(ping == 0 ? 1000 : 2000);
    ASSERT_TRUE(phone_.receive(is_ping));
  }
  // The pass that sent the PING at 6 s had judged 5000 ms of silence first.
  EXPECT_EQ(session_->state(), ConnectionState::Connected);
  clock_.advance_ms(1);
  ASSERT_TRUE(test::wait_until([&] { return states_.count(ConnectionState::Searching) == 2; }));
  EXPECT_TRUE(
      test::log_has_line(app_data_, "connection.log",
                         "Connection timeout \xE2\x80\x94 no packets for 5001ms, disconnecting"));
  EXPECT_EQ(session_->rtt_ms(), 40);
  // It comes back with a new HELLO, without the code since it proved it, and
  // is not asked for approval again.
  phone_.send(build_hello("Phone", "rx-1", ""), session_->audio_port());
  EXPECT_TRUE(test::wait_until([&] { return states_.count(ConnectionState::Connected) == 2; }));
  EXPECT_EQ(approvals_, 1);
}

TEST(ReceiverTimers, KeepaliveEveryTenMilliseconds) {
  test::AppDataScope app_data;
  FakeClock clock;
  test::LoopbackPeer transmitter;
  TransportConfig config;
  config.is_transmitter = false;
  config.discovery.port = 0;  // greeting one address: nothing to discover
  config.clock = &clock;
  auto receiver = std::move(SessionTransport::create(config).object);
  ASSERT_EQ(receiver->start(), ErrorCode::Ok);
  ASSERT_EQ(receiver->connect_to("127.0.0.1", transmitter.port(), "Desk"), ErrorCode::Ok);
  ASSERT_TRUE(transmitter.receive(is_keepalive));
  for (int period = 0; period < 4; ++period) {
    clock.advance_ms(5);
    EXPECT_FALSE(transmitter.receive(is_keepalive, kQuiet)) << "keepalive before 10 ms";
    clock.advance_ms(5);
    ASSERT_TRUE(transmitter.receive(is_keepalive));
  }
  receiver->stop();
}
