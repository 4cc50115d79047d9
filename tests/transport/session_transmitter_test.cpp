#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "session_harness.h"
#include "transport/pairing_code.h"
#include "transport/session_transport.h"

using tovik::ConnectionState;

namespace {

bool is_audio(const std::string& d) { return !d.empty() && d[0] == 0x01; }
bool is_ping(const std::string& d) { return d.rfind("TOVIK_PING|", 0) == 0; }

class Transmitter : public ::testing::Test {
 protected:
  void SetUp() override {
    auto created = SessionTransport::create(test::loopback_transmitter_config(announcements_));
    ASSERT_EQ(created.code, ErrorCode::Ok);
    session_ = std::move(created.object);
    session_->set_state_callback(states_.callback());
  }

  void start(bool with_approval = true) {
    if (with_approval) {
      session_->set_approval_callback([this](const std::string&, const std::string&) {
        ++approvals_;
        return approve_.load();
      });
    }
    ASSERT_EQ(session_->start(), ErrorCode::Ok);
    port_ = session_->audio_port();
    ASSERT_NE(port_, 0);
  }

  std::string hello(const std::string& name, const std::string& id, const std::string& code) {
    return build_hello(name, id, code);
  }

  bool wait_state(ConnectionState state, const std::string& detail = "") {
    return test::wait_until([&] { return states_.has(state, detail); });
  }

  ErrorCode send_frame(std::uint32_t sequence) {
    AudioFrameHeader header;
    header.sequence = sequence;
    const std::uint8_t payload[] = {0xAA, 0xBB, 0xCC};
    return session_->send_audio_frame(header, payload, sizeof payload);
  }

  test::AppDataScope app_data_;
  test::LoopbackPeer announcements_;
  test::StateLog states_;
  std::unique_ptr<SessionTransport> session_;
  std::atomic<int> approvals_{0};
  std::atomic<bool> approve_{true};
  std::uint16_t port_ = 0;
};

}  // namespace

TEST(PairingCode, DigitsComeFromTheHighWordAndLowWordsBelowSixAreRedrawn) {
  std::vector<std::uint32_t> words = {0u, 0xFFFFFFFFu, 0x1999999Au, 0x19999999u, 0x80000000u,
                                      5u, 0x33333334u, 0x4CCCCCCDu, 0xE6666667u, 0x1AAAAAAAu};
  std::size_t next = 0;
  std::string code = draw_pairing_code([&] { return words.at(next++); });
  // Low words 0, 4, 0 and 2 are redrawn; 5 gives 50 = digit 0 with low word 50;
  // 0xE6666667 gives low word exactly 6, the smallest kept.
  EXPECT_EQ(code, "900291");
  EXPECT_EQ(next, words.size());
  for (int i = 0; i < 50; ++i) {
    std::string random_code = draw_pairing_code();
    ASSERT_EQ(random_code.size(), 6u);
    for (char c : random_code) EXPECT_TRUE(c >= '0' && c <= '9') << random_code;
  }
}

TEST_F(Transmitter, RightCodeIsApprovedConnectedAndReceivesFramesAndPings) {
  start();
  EXPECT_EQ(send_frame(0), ErrorCode::ConnectionLost);
  test::LoopbackPeer phone;
  phone.send(hello("Phone", "rx-1", session_->pairing_code()), port_);
  ASSERT_TRUE(wait_state(ConnectionState::Connected, "Phone"));
  auto reports = states_.reports();
  ASSERT_EQ(reports.size(), 3u);
  EXPECT_EQ(reports[0], std::make_pair(ConnectionState::Searching, std::string()));
  EXPECT_EQ(reports[1], std::make_pair(ConnectionState::ApprovalPending, std::string("Phone")));
  EXPECT_EQ(reports[2], std::make_pair(ConnectionState::Connected, std::string("Phone")));
  EXPECT_EQ(session_->state(), ConnectionState::Connected);

  EXPECT_TRUE(phone.receive(is_ping));
  EXPECT_EQ(send_frame(258), ErrorCode::Ok);
  auto frame = phone.receive(is_audio);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->size(), 19u);
  EXPECT_EQ(static_cast<unsigned char>((*frame)[5]), 0x02);

  const std::string from = "Received HELLO from 127.0.0.1:" + std::to_string(phone.port()) +
                           " \xE2\x80\x94 'Phone' (id=rx-1, code='" + session_->pairing_code() +
                           "')";
  EXPECT_TRUE(test::log_has_line(app_data_, "connection.log", from));
  EXPECT_TRUE(test::log_has_line(app_data_, "connection.log",
                                 "Connected to peer 127.0.0.1:" + std::to_string(phone.port())));
  EXPECT_TRUE(
      test::log_has_line(app_data_, "connection.log",
                         "Transmitter listen loop started on port " + std::to_string(port_)));
}

TEST_F(Transmitter, DeniedApprovalIsAskedAgainAndApprovedIdsAreNotAskedTwice) {
  approve_ = false;
  start();
  test::LoopbackPeer phone;
  const std::string code = session_->pairing_code();
  phone.send(hello("Phone", "rx-1", code), port_);
  ASSERT_TRUE(test::wait_until([&] {
    return test::log_has_line(app_data_, "connection.log", "Connection denied for 'Phone'");
  }));
  EXPECT_EQ(approvals_, 1);
  EXPECT_EQ(session_->state(), ConnectionState::ApprovalPending);
  EXPECT_EQ(send_frame(0), ErrorCode::ConnectionLost);

  approve_ = true;
  phone.send(hello("Phone", "rx-1", code), port_);
  ASSERT_TRUE(wait_state(ConnectionState::Connected, "Phone"));
  EXPECT_EQ(approvals_, 2);

  // Same id, new name and address: no new approval, the peer moves.
  test::LoopbackPeer tablet;
  tablet.send(hello("Renamed", "rx-1", code), port_);
  ASSERT_TRUE(wait_state(ConnectionState::Connected, "Renamed"));
  EXPECT_EQ(approvals_, 2);
  EXPECT_EQ(states_.count(ConnectionState::ApprovalPending), 2);
  EXPECT_EQ(send_frame(1), ErrorCode::Ok);
  EXPECT_TRUE(tablet.receive(is_audio));
}

TEST_F(Transmitter, WithoutApprovalCallbackUnknownDevicesAreDenied) {
  start(/*with_approval=*/false);
  test::LoopbackPeer phone;
  phone.send(hello("Phone", "rx-1", session_->pairing_code()), port_);
  ASSERT_TRUE(test::wait_until([&] {
    return test::log_has_line(app_data_, "connection.log", "Connection denied for 'Phone'");
  }));
  EXPECT_EQ(states_.count(ConnectionState::ApprovalPending), 0);
  EXPECT_EQ(session_->state(), ConnectionState::Searching);
}

TEST_F(Transmitter, ASecondReceiverTakesOverTheStream) {
  start();
  test::LoopbackPeer first;
  test::LoopbackPeer second;
  first.send(hello("First", "rx-1", session_->pairing_code()), port_);
  ASSERT_TRUE(wait_state(ConnectionState::Connected, "First"));
  second.send(hello("Second", "rx-2", session_->pairing_code()), port_);
  ASSERT_TRUE(wait_state(ConnectionState::Connected, "Second"));
  ASSERT_EQ(send_frame(7), ErrorCode::Ok);
  auto frame = second.receive(is_audio);
  ASSERT_TRUE(frame);
  EXPECT_EQ(static_cast<unsigned char>((*frame)[5]), 7);
  EXPECT_FALSE(first.receive(is_audio, std::chrono::milliseconds(300)));
}

TEST_F(Transmitter, CtrlFromThePeerIsDeliveredAndPingsAreAnswered) {
  std::mutex mutex;
  std::vector<std::pair<int, std::string>> controls;
  session_->set_control_callback([&](tovik::CtrlType type, const unsigned char* p, std::size_t n) {
    std::lock_guard<std::mutex> guard(mutex);
    controls.emplace_back(static_cast<int>(type), std::string(reinterpret_cast<const char*>(p), n));
  });
  start();
  test::LoopbackPeer stranger;
  stranger.send(hello("Phone", "rx-1", session_->pairing_code()), port_);
  ASSERT_TRUE(wait_state(ConnectionState::Connected, "Phone"));
  stranger.send(std::string("\xC0\x01\x00\x04\x00\x01\xF4\x00", 8), port_);
  stranger.send(std::string("\xC0\x03\x00\x05\x01", 5), port_);  // declared size too big
  stranger.send(std::string("\xC0\x07\x00\x00", 4), port_);
  ASSERT_TRUE(test::wait_until([&] {
    std::lock_guard<std::mutex> guard(mutex);
    return controls.size() == 2;
  }));
  {
    std::lock_guard<std::mutex> guard(mutex);
    EXPECT_EQ(controls[0], std::make_pair(1, std::string("\x00\x01\xF4\x00", 4)));
    EXPECT_EQ(controls[1], std::make_pair(7, std::string()));
  }
  EXPECT_TRUE(test::log_has_line(app_data_, "connection.log",
                                 "Received CTRL message type=1 payload_size=4"));
  stranger.send("TOVIK_PING|x y", port_);
  auto is_pong = [](const std::string& d) { return d.rfind("TOVIK_PONG|", 0) == 0; };
  EXPECT_EQ(stranger.receive(is_pong), std::optional<std::string>("TOVIK_PONG|x y"));
}

TEST_F(Transmitter, StopWhileWaitingReturnsPromptlyAndReportsDisconnectedOnce) {
  start();
  auto before = std::chrono::steady_clock::now();
  session_->stop();
  auto took = std::chrono::steady_clock::now() - before;
  EXPECT_LT(took, std::chrono::seconds(2));
  EXPECT_EQ(states_.count(ConnectionState::Disconnected), 1);
  EXPECT_EQ(session_->state(), ConnectionState::Disconnected);
  EXPECT_EQ(send_frame(0), ErrorCode::ConnectionLost);

  // Stop again, then start again on a new socket.
  session_->stop();
  EXPECT_EQ(states_.count(ConnectionState::Disconnected), 2);
  ASSERT_EQ(session_->start(), ErrorCode::Ok);
  test::LoopbackPeer phone;
  phone.send(hello("Phone", "rx-1", session_->pairing_code()), session_->audio_port());
  EXPECT_TRUE(wait_state(ConnectionState::Connected, "Phone"));
}

TEST(TransmitterStart, BusyPortFailsWithInternalErrorAndItsLogLine) {
  test::AppDataScope app_data;
  test::LoopbackPeer announcements;
  UdpSocket holder;
  ASSERT_TRUE(holder.open());
  ASSERT_TRUE(holder.bind(kIpv4Any, 0));  // no address reuse: the port is held
  TransportConfig config = test::loopback_transmitter_config(announcements);
  config.audio_port = holder.local_port();
  test::StateLog states;  // outlives the session, whose destructor reports
  auto created = SessionTransport::create(config);
  ASSERT_EQ(created.code, ErrorCode::Ok);
  created.object->set_state_callback(states.callback());
  created.object->stop();  // stop before start is harmless
  EXPECT_EQ(created.object->start(), ErrorCode::InternalError);
  EXPECT_TRUE(test::log_has_line(
      app_data, "connection.log",
      "Failed to bind audio socket to port " + std::to_string(config.audio_port)));
  EXPECT_EQ(states.count(ConnectionState::Searching), 0);
}
