// Sessions timed by a fake clock: our transmitter over real UDP sockets on
// 127.0.0.1 and against a hostile LAN datagram by datagram, and our receiver
// against a scripted transmitter.
#include <gtest/gtest.h>

#include "session_harness.h"
#include "support/fake_clock.h"

using tovik::ConnectionState;

namespace {

// How long a check that nothing arrives watches.
constexpr std::chrono::milliseconds kQuiet{150};
const SocketAddress kPhone{0x0A4D0002, 40000};
const SocketAddress kMallory{0x0A4D0003, 40001};
const std::uint8_t kPayload[] = {0xAA, 0xBB, 0xCC};

bool is_ping(const std::string& d) { return d.rfind("TOVIK_PING|", 0) == 0; }
bool is_audio(const std::string& d) { return !d.empty() && d[0] == 0x01; }
bool is_keepalive(const std::string& d) { return d == "K"; }
bool is_hello(const std::string& d) { return d.rfind("TOVIK_HELLO|", 0) == 0; }

std::string frame(std::uint32_t sequence) {
  const auto bytes = build_audio_frame({1, 0, sequence, 0, 0, 0}, kPayload, sizeof kPayload);
  return std::string(bytes.begin(), bytes.end());
}

// A transmitter that remembers "rx-known" and whose user refuses "rx-refused".
class Session : public ::testing::Test {
 protected:
  void SetUp() override {
    TransportConfig config = test::loopback_transmitter_config(sink_, &clock_);
    config.remembered_receivers = {"rx-known"};
    session_ = SessionTransport::create(config).object;
    session_->set_state_callback(states_.callback());
    session_->set_approval_callback([this](const std::string& name, const std::string& id) {
      note("ask " + name);
      return id != "rx-refused";
    });
    session_->set_refusal_callback([this](const tovik::RefusedHello& r) {
      note(std::to_string(static_cast<int>(r.reason)) + r.name + "@" + format_ipv4(r.source_ip));
    });
    session_->set_paired_callback(
        [this](const std::string& id, const std::string& name) { note(id + "/" + name); });
    session_->set_control_callback(
        [this](tovik::CtrlType t, const unsigned char* p, std::size_t n) {
          note(std::to_string(static_cast<int>(t)) + ":" +
               std::string(reinterpret_cast<const char*>(p), n));
        });
  }
  void note(const std::string& event) {
    std::lock_guard<std::mutex> guard(mutex_);
    events_ += event + ",";
  }
  std::string events() {
    std::lock_guard<std::mutex> guard(mutex_);
    return std::exchange(events_, "");
  }
  // Datagram by datagram, as the listen loop hands them on.
  void feed(const std::string& datagram, const SocketAddress& from) {
    session_->handle_datagram(reinterpret_cast<const std::uint8_t*>(datagram.data()),
                              datagram.size(), from);
  }
  void hello(const std::string& id, const std::string& code, const SocketAddress& from) {
    feed(build_hello(id == "rx-known" ? "Phone" : "Eve", id, code), from);
  }
  // Over the socket, once started.
  bool connect(test::LoopbackPeer& peer, const std::string& name, const std::string& code) {
    peer.send(build_hello(name, "rx-1", code), session_->audio_port());
    return test::wait_until([&] { return states_.has(ConnectionState::Connected, name); });
  }
  ErrorCode send_frame(std::uint32_t sequence) {
    return session_->send_audio_frame({1, 0, sequence, 0, 0, 0}, kPayload, sizeof kPayload);
  }
  bool logged(const std::string& line) {
    return test::wait_until([&] { return test::log_has_line(app_data_, "connection.log", line); });
  }

  test::AppDataScope app_data_;
  test::LoopbackPeer sink_, phone_;
  FakeClock clock_;
  test::StateLog states_;
  std::mutex mutex_;
  std::string events_;
  std::unique_ptr<SessionTransport> session_;
};

}  // namespace

TEST_F(Session, PairsStreamsAnswersAndPingsEveryTwoSecondsUntilSilenceDropsThePeer) {
  ASSERT_EQ(session_->start(), ErrorCode::Ok);
  EXPECT_EQ(send_frame(0), ErrorCode::ConnectionLost);
  ASSERT_TRUE(connect(phone_, "Phone", session_->pairing_code()));
  EXPECT_EQ(states_.text(), "Searching,ApprovalPending:Phone,Connected:Phone");
  ASSERT_TRUE(phone_.receive(is_ping));  // the first one goes out at once
  EXPECT_EQ(send_frame(258), ErrorCode::Ok);
  EXPECT_EQ(phone_.receive(is_audio), frame(258));
  const std::string port = std::to_string(session_->audio_port());
  const std::string phone = "127.0.0.1:" + std::to_string(phone_.port());
  for (const std::string& line :
       {"Audio socket bound to port " + port, "Transmitter listen loop started on port " + port,
        "Received HELLO from " + phone + " \xE2\x80\x94 'Phone' (id=rx-1, code='" +
            session_->pairing_code() + "')",
        "Connected to peer " + phone}) {
    EXPECT_TRUE(logged(line)) << line;
  }
  phone_.send(std::string("\xC0\x01\x00\x04\x00\x01\xF4\x00", 8), session_->audio_port());
  phone_.send(std::string("\xC0\x07\x00\x00", 4), session_->audio_port());
  phone_.send("TOVIK_PING|x y", session_->audio_port());
  EXPECT_EQ(phone_.receive([](const std::string& d) { return !is_ping(d); }), "TOVIK_PONG|x y");
  EXPECT_TRUE(logged("Received CTRL message type=1 payload_size=4"));
  EXPECT_EQ(events(), std::string("ask Phone,rx-1/Phone,1:\x00\x01\xF4\x00,7:,", 31));
  for (int period = 0; period < 2; ++period) {
    clock_.advance_ms(1999);
    EXPECT_FALSE(phone_.receive(is_ping, kQuiet)) << "PING before 2 s had passed";
    clock_.advance_ms(1);
    ASSERT_TRUE(phone_.receive(is_ping));
  }
  clock_.advance_ms(1001);
  EXPECT_TRUE(logged("Connection timeout \xE2\x80\x94 no packets for 5001ms, disconnecting"));
  // It comes back without the code, since it proved it, and is not asked
  // again; its new address gets the stream.
  test::LoopbackPeer tablet;  // a PING is answered to whoever sent it
  tablet.send("TOVIK_PING|t", session_->audio_port());
  EXPECT_EQ(tablet.receive(), "TOVIK_PONG|t");
  ASSERT_TRUE(connect(tablet, "Tablet", ""));
  EXPECT_EQ(send_frame(7), ErrorCode::Ok);
  EXPECT_EQ(tablet.receive(is_audio), frame(7));
  EXPECT_FALSE(phone_.receive(is_audio, kQuiet));
  EXPECT_EQ(events(), "");
}

TEST_F(Session, WithoutApprovalDeniesStopsPromptlyStartsAgainAndHoldsItsPort) {
  session_->set_approval_callback(nullptr);
  ASSERT_EQ(session_->start(), ErrorCode::Ok);
  phone_.send(build_hello("Phone", "rx-1", session_->pairing_code()), session_->audio_port());
  ASSERT_TRUE(logged("Connection denied for 'Phone'"));
  session_->stop();  // a hang here is a stop that cannot end the listen loop's wait
  EXPECT_EQ(states_.text(), "Searching,Disconnected");
  ASSERT_EQ(session_->start(), ErrorCode::Ok);
  TransportConfig second = test::loopback_transmitter_config(sink_);
  second.audio_port = session_->audio_port();
  EXPECT_EQ(SessionTransport::create(second).object->start(), ErrorCode::InternalError);
  EXPECT_TRUE(logged("Failed to bind audio socket to port " + std::to_string(second.audio_port)));
}

TEST_F(Session, OnlyARememberedReceiverGetsInWithoutTheRightCode) {
  hello("rx-stranger", "", kMallory);
  hello("rx-x", "12345x", kMallory);
  EXPECT_TRUE(logged("Connection denied for 'Eve'"));
  EXPECT_TRUE(logged("Pairing code MISMATCH: got '12345x' expected '" + session_->pairing_code() +
                     "' \xE2\x80\x94 rejecting"));
  hello("rx-known", "12345x", kPhone);  // an old code after our restart: no guess
  hello("rx-known", "", kPhone);
  hello("rx-new", session_->pairing_code(), kMallory);
  hello("rx-refused", session_->pairing_code(), kMallory);
  EXPECT_EQ(
      states_.text(),
      "Connected:Phone,Connected:Phone,ApprovalPending:Eve,Connected:Eve,ApprovalPending:Eve");
  // Recorded under the id, at most once a minute.
  EXPECT_EQ(events(), "0Eve@10.77.0.3,1Eve@10.77.0.3,rx-known/Phone,ask Eve,rx-new/Eve,ask Eve,");
}

TEST_F(Session, GuessesFromOneSourceAreCutOffWhileRememberedReceiversGetIn) {
  for (int i = 0; i < 8; ++i) hello("rx-x", "12345x", kMallory);  // five are looked at
  EXPECT_EQ(events().size(), 5 * std::string("1Eve@10.77.0.3,").size());
  hello("rx-x", session_->pairing_code(), kMallory);  // ignored, right or not
  hello("rx-known", "", kMallory);                    // even from the locked-out address
  clock_.advance_ms(29999);
  hello("rx-y", session_->pairing_code(), kMallory);
  EXPECT_EQ(states_.text(), "Connected:Phone");
  clock_.advance_ms(1);
  hello("rx-y", session_->pairing_code(), kMallory);
  EXPECT_EQ(states_.text(), "Connected:Phone,ApprovalPending:Eve,Connected:Eve");
  EXPECT_EQ(events(), "rx-known/Phone,ask Eve,rx-y/Eve,");
}

TEST_F(Session, OnlyThePeerSteersTimesOrKeepsTheLinkAlive) {
  hello("rx-known", "", kPhone);
  const std::string pause("\xC0\x03\x00\x01\x01", 5);
  for (const SocketAddress& from : {kMallory, SocketAddress{kPhone.ip, 40002}}) {
    feed(pause, from);
    feed("TOVIK_PONG|" + std::to_string(clock_.now_ms() - 30), from);
  }
  EXPECT_EQ(events(), "rx-known/Phone,");
  EXPECT_EQ(session_->rtt_ms(), 40);
  feed(pause, kPhone);
  EXPECT_EQ(events(), "3:\x01,");
  // The round-trip figure: smoothed, truncated, odd samples dropped.
  const std::int64_t now = clock_.now_ms();
  const std::pair<std::int64_t, int> pongs[] = {{now - 30, 30},    {now, 21},      {now + 1, 21},
                                                {now - 5001, 21},  {now - 12, 18}, {now - 13, 16},
                                                {now - 5000, 1511}};
  for (const auto& [echo, rtt] : pongs) {
    feed("TOVIK_PONG|" + std::to_string(echo), kPhone);
    EXPECT_EQ(session_->rtt_ms(), rtt) << echo;
  }
  clock_.advance_ms(4000);
  feed("K", kPhone);
  clock_.advance_ms(5000);
  feed("K", kMallory);  // a stranger's datagram does not hide the silence
  EXPECT_EQ(session_->state(), ConnectionState::Connected);
  clock_.advance_ms(1);
  feed("K", kMallory);
  EXPECT_EQ(session_->state(), ConnectionState::Searching);
  EXPECT_TRUE(logged("Connection timeout \xE2\x80\x94 no packets for 5001ms, disconnecting"));
  EXPECT_EQ(session_->rtt_ms(), 40);
  // No time-out while the user is asked about another receiver.
  hello("rx-known", "", kPhone);
  hello("rx-refused", session_->pairing_code(), kMallory);
  clock_.advance_ms(6000);
  feed("K", kMallory);
  EXPECT_EQ(session_->state(), ConnectionState::ApprovalPending);
}

// Our receiver hears an announcement, greets, keeps the link alive and
// answers, driven by a scripted transmitter.
TEST_F(Session, ReceiverGreetsWhatItFindsKeepsAliveEveryTenMsAndTimesOutAfterFiveSilentSeconds) {
  test::LoopbackPeer tx;
  TransportConfig config;
  config.device_name = "Kitchen";
  config.device_id = "rx-kitchen";
  config.is_transmitter = false;
  config.discovery = {test::LoopbackPeer().port(), kIpv4Loopback};  // a port free a moment ago
  config.clock = &clock_;
  config.known_transmitters = {"tx-known"};
  auto receiver = std::move(SessionTransport::create(config).object);
  receiver->set_state_callback(states_.callback());
  receiver->set_code_to_present("123456");
  receiver->set_frame_callback(
      [this](const AudioFrameHeader& h, const unsigned char*, std::size_t n) {
        note(std::to_string(h.sequence) + "+" + std::to_string(n));
      });
  ASSERT_EQ(receiver->start(), ErrorCode::Ok);
  const std::string announcement = "TOVIK|Desk|" + std::to_string(tx.port()) + "|tx-";
  EXPECT_TRUE(test::wait_until([&] {  // until the listener is bound
    tx.send(announcement + "new", config.discovery.port);
    return tx.receive(is_hello, kQuiet) == "TOVIK_HELLO|Kitchen|rx-kitchen|123456";
  }));
  ASSERT_TRUE(test::wait_until([&] { return states_.has(ConnectionState::Connected, "Desk"); }));
  EXPECT_EQ(states_.text(), "Searching,Connecting:Desk,Connected:Desk");
  ASSERT_TRUE(tx.receive(is_keepalive));
  for (int period = 0; period < 3; ++period) {
    clock_.advance_ms(9);
    EXPECT_FALSE(tx.receive(is_keepalive, kQuiet)) << "keepalive before 10 ms";
    clock_.advance_ms(1);
    ASSERT_TRUE(tx.receive(is_keepalive));
  }
  tx.send(announcement + "known", config.discovery.port);  // knows us: no code
  EXPECT_EQ(tx.receive(is_hello), "TOVIK_HELLO|Kitchen|rx-kitchen");
  tx.send(frame(77), receiver->audio_port());
  tx.send("TOVIK_PING|5", receiver->audio_port());
  EXPECT_TRUE(tx.receive([](const std::string& d) { return d == "TOVIK_PONG|5"; }));
  EXPECT_EQ(events(), "77+3,");
  ASSERT_EQ(receiver->send_hello("654321"), ErrorCode::Ok);
  EXPECT_EQ(tx.receive(is_hello), "TOVIK_HELLO|Kitchen|rx-kitchen|654321");
  clock_.advance_ms(5001);
  ASSERT_TRUE(logged("Receiver timeout \xE2\x80\x94 no packets for 5001ms"));
  receiver->stop();
  const std::string port = std::to_string(tx.port());
  for (const std::string& line :
       {"Discovered transmitter 'Desk' at 127.0.0.1:" + port,
        "Sent HELLO to 127.0.0.1:" + port + " (37 bytes)", std::string("Keepalive loop started"),
        std::string("Keepalive loop exited"), std::string("Receiver listen loop exited")}) {
    EXPECT_TRUE(logged(line)) << line;
  }
}
