// The transmitter against a hostile LAN, datagram by datagram on a fake
// clock: who gets in without the code, guessing, and what strangers cannot
// steer.
#include <gtest/gtest.h>

#include "session_harness.h"
#include "support/fake_clock.h"

using tovik::ConnectionState;

namespace {

const SocketAddress kPhone{0x0A4D0002, 40000};
const SocketAddress kMallory{0x0A4D0003, 40001};

class Guard : public ::testing::Test {
 protected:
  void SetUp() override {
    TransportConfig config = test::loopback_transmitter_config(sink_, &clock_);
    config.remembered_receivers = {"rx-known"};
    session_ = SessionTransport::create(config).object;
    session_->set_state_callback(states_.callback());
    session_->set_approval_callback([](const std::string&, const std::string&) { return true; });
    session_->set_refusal_callback([this](const tovik::RefusedHello& r) { refused_.push_back(r); });
    session_->set_paired_callback([this](const std::string& id, const std::string& name) {
      paired_.push_back(id + "/" + name);
    });
    session_->set_control_callback(
        [this](tovik::CtrlType, const unsigned char*, std::size_t) { ++controls_; });
  }
  void feed(const std::string& datagram, const SocketAddress& from) {
    session_->handle_datagram(reinterpret_cast<const std::uint8_t*>(datagram.data()),
                              datagram.size(), from);
  }
  void hello(const std::string& id, const std::string& code, const SocketAddress& from) {
    feed(build_hello(id == "rx-known" ? "Phone" : "Mallory", id, code), from);
  }
  std::string wrong_code() const {
    std::string code = session_->pairing_code();
    code[0] = code[0] == '9' ? '0' : static_cast<char>(code[0] + 1);
    return code;
  }

  test::AppDataScope app_data_;
  test::LoopbackPeer sink_;
  FakeClock clock_;
  test::StateLog states_;
  std::unique_ptr<SessionTransport> session_;
  std::vector<tovik::RefusedHello> refused_;
  std::vector<std::string> paired_;
  int controls_ = 0;
};

}  // namespace

TEST_F(Guard, OnlyARememberedReceiverGetsInWithoutTheRightCode) {
  hello("rx-stranger", "", kMallory);
  EXPECT_EQ(states_.count(ConnectionState::Connected), 0);
  EXPECT_TRUE(test::log_has_line(app_data_, "connection.log", "Connection denied for 'Mallory'"));
  hello("rx-known", wrong_code(), kPhone);  // an old code after our restart: no guess
  EXPECT_TRUE(states_.has(ConnectionState::Connected, "Phone"));
  hello("rx-known", "", kPhone);
  EXPECT_EQ(states_.count(ConnectionState::ApprovalPending), 0);
  EXPECT_EQ(paired_, std::vector<std::string>{"rx-known/Phone"});  // recorded once a minute
  ASSERT_EQ(refused_.size(), 1u);
  EXPECT_EQ(refused_[0].reason, tovik::RefusalReason::NoCode);
  EXPECT_EQ(refused_[0].source_ip, kMallory.ip);
  // A new receiver with the code is remembered under its id, not its name.
  hello("rx-new", session_->pairing_code(), kMallory);
  EXPECT_EQ(paired_.back(), "rx-new/Mallory");
}

TEST_F(Guard, GuessesFromOneSourceAreCutOffWhileRememberedReceiversGetIn) {
  for (int i = 0; i < GuessThrottle::kFreeFailures + 3; ++i) hello("rx-x", wrong_code(), kMallory);
  EXPECT_EQ(refused_.size(), static_cast<std::size_t>(GuessThrottle::kFreeFailures));

  hello("rx-x", session_->pairing_code(), kMallory);  // ignored, right or not
  EXPECT_EQ(states_.count(ConnectionState::Connected), 0);
  hello("rx-known", "", kMallory);  // even from the locked-out address
  EXPECT_TRUE(states_.has(ConnectionState::Connected, "Phone"));
  clock_.advance_ms(GuessThrottle::kFirstLockoutMs);
  hello("rx-x", session_->pairing_code(), kMallory);
  EXPECT_TRUE(states_.has(ConnectionState::Connected, "Mallory"));
}

TEST_F(Guard, StrangersCannotSteerTimeOrKeepAliveThePeersLink) {
  hello("rx-known", "", kPhone);
  const std::string pause("\xC0\x03\x00\x01\x01", 5);
  for (const SocketAddress& from : {kMallory, SocketAddress{kPhone.ip, 40002}}) {
    feed(pause, from);
    feed("TOVIK_PONG|" + std::to_string(clock_.now_ms() - 30), from);
  }
  EXPECT_EQ(controls_, 0);
  EXPECT_EQ(session_->rtt_ms(), 40);
  feed(pause, kPhone);
  EXPECT_EQ(controls_, 1);
  clock_.advance_ms(4000);
  feed("K", kPhone);
  clock_.advance_ms(5001);
  feed("K", kMallory);  // a stranger's keepalive does not hide the silence
  EXPECT_TRUE(states_.has(ConnectionState::Searching));
  EXPECT_TRUE(
      test::log_has_line(app_data_, "connection.log",
                         "Connection timeout \xE2\x80\x94 no packets for 5001ms, disconnecting"));
}
