#include <gtest/gtest.h>

#include "session_harness.h"
#include "support/fake_clock.h"
#include "transport/session_transport.h"

using tovik::ConnectionState;

namespace {

void feed(SessionTransport& session, const std::string& datagram,
          SocketAddress from = {kIpv4Loopback, 9}) {
  session.handle_datagram(reinterpret_cast<const std::uint8_t*>(datagram.data()), datagram.size(),
                          from);
}

std::unique_ptr<SessionTransport> idle_transport(const Clock* clock,
                                                 const test::LoopbackPeer& sink) {
  return SessionTransport::create(test::loopback_transmitter_config(sink, clock)).object;
}

// Not started; paired with a receiver at 127.0.0.1:9, whose PONGs count.
std::unique_ptr<SessionTransport> paired_transport(const Clock* clock,
                                                   const test::LoopbackPeer& sink) {
  auto session = idle_transport(clock, sink);
  session->set_approval_callback([](const std::string&, const std::string&) { return true; });
  feed(*session, build_hello("Phone", "rx-9", session->pairing_code()));
  return session;
}

std::string pong_echoing(std::int64_t clock_ms) { return "TOVIK_PONG|" + std::to_string(clock_ms); }

const char kTimeoutPrefix[] = "Connection timeout \xE2\x80\x94 no packets for ";

}  // namespace

TEST(LinkQuality, RoundTripSamplesAreSmoothedAndTruncated) {
  test::AppDataScope app_data;
  test::LoopbackPeer sink;
  FakeClock clock;
  auto session = paired_transport(&clock, sink);
  EXPECT_EQ(session->rtt_ms(), 40);
  const std::int64_t now = clock.now_ms();
  std::vector<int> seen;
  for (int sample : {20, 10, 10}) {
    feed(*session, pong_echoing(now - sample));
    seen.push_back(session->rtt_ms());
  }
  EXPECT_EQ(seen, (std::vector<int>{20, 17, 14}));

  auto other = paired_transport(&clock, sink);
  feed(*other, pong_echoing(now - 12));
  EXPECT_EQ(other->rtt_ms(), 12);
  feed(*other, pong_echoing(now - 22));
  EXPECT_EQ(other->rtt_ms(), 14);  // 8.4 + 6.6 is just below 15 in double
}

TEST(LinkQuality, OddSamplesAreDroppedOrKeptAsTheRulesSay) {
  test::AppDataScope app_data;
  test::LoopbackPeer sink;
  FakeClock clock;
  auto session = paired_transport(&clock, sink);
  const std::int64_t now = clock.now_ms();
  feed(*session, pong_echoing(now));  // 0 ms keeps the figure at "no sample"
  EXPECT_EQ(session->rtt_ms(), 40);
  feed(*session, pong_echoing(now + 1));     // from the future
  feed(*session, pong_echoing(now - 5001));  // too old
  feed(*session, "TOVIK_PONG|abc");
  feed(*session, "TOVIK_PONG|99999999999999999999");
  EXPECT_EQ(session->rtt_ms(), 40);
  feed(*session, pong_echoing(now - 5000));  // the largest accepted sample
  EXPECT_EQ(session->rtt_ms(), 5000);
  feed(*session, pong_echoing(now - 30));
  EXPECT_EQ(session->rtt_ms(), 3509);
}

class SilenceWatch : public ::testing::Test {
 protected:
  void SetUp() override {
    session_ = idle_transport(&clock_, sink_);
    session_->set_state_callback(states_.callback());
    session_->set_approval_callback(
        [this](const std::string&, const std::string&) { return approve_.load(); });
    ASSERT_EQ(session_->start(), ErrorCode::Ok);
  }

  void connect(test::LoopbackPeer& peer, const std::string& name, const std::string& id) {
    peer.send(build_hello(name, id, session_->pairing_code()), session_->audio_port());
    ASSERT_TRUE(test::wait_until([&] { return states_.has(ConnectionState::Connected, name); }));
  }

  // Waits for two PINGs after moving time: the pass that checks the silence
  // after the first one has then finished.
  void let_loop_pass(test::LoopbackPeer& peer) {
    auto is_ping = [](const std::string& d) { return d.rfind("TOVIK_PING|", 0) == 0; };
    ASSERT_TRUE(peer.receive(is_ping));
    clock_.advance_ms(2000);
    ASSERT_TRUE(peer.receive(is_ping));
  }

  test::AppDataScope app_data_;
  test::LoopbackPeer sink_;
  FakeClock clock_;
  test::StateLog states_;
  std::atomic<bool> approve_{true};
  std::unique_ptr<SessionTransport> session_;
};

TEST_F(SilenceWatch, AReceiverThatKeepsPingingIsNeverDropped) {
  test::LoopbackPeer phone;
  connect(phone, "Phone", "rx-1");
  for (int i = 0; i < 12; ++i) {
    clock_.advance_ms(900);
    phone.send("TOVIK_PING|" + std::to_string(i), session_->audio_port());
    std::string expected = "TOVIK_PONG|" + std::to_string(i);
    ASSERT_TRUE(phone.receive([&](const std::string& d) { return d == expected; }));
  }
  EXPECT_EQ(states_.count(ConnectionState::Searching), 1);
  EXPECT_EQ(session_->state(), ConnectionState::Connected);
}

TEST_F(SilenceWatch, NoTimeoutWhileApprovalIsPending) {
  test::LoopbackPeer phone;
  connect(phone, "Phone", "rx-1");
  approve_ = false;
  test::LoopbackPeer stranger;
  stranger.send(build_hello("Stranger", "rx-2", session_->pairing_code()), session_->audio_port());
  ASSERT_TRUE(
      test::wait_until([&] { return states_.has(ConnectionState::ApprovalPending, "Stranger"); }));
  clock_.advance_ms(6000);
  let_loop_pass(phone);
  EXPECT_EQ(session_->state(), ConnectionState::ApprovalPending);
  EXPECT_EQ(states_.count(ConnectionState::Searching), 1);
}
