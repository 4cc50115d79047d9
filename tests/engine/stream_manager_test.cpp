#include "engine/stream_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "engine/fake/fake_audio_endpoint.h"
#include "session_harness.h"

using tovik::ConnectionState;

namespace {

bool is_audio(const std::string& d) { return d.size() > 16 && d[0] == 0x01; }

struct Rig {
  explicit Rig(FakeEndpointConfig endpoint = {}, EncoderConfig encoder = {},
               std::uint16_t audio_port = 0) {
    StreamManagerOptions options{std::make_unique<FakeAudioEndpoint>(endpoint),
                                 test::loopback_transmitter_config(announcements), encoder};
    fake = static_cast<FakeAudioEndpoint*>(options.endpoint.get());
    if (audio_port != 0) options.transport.audio_port = audio_port;
    auto created = StreamManager::create(StreamConfig(), std::move(options));
    code = created.code;
    manager = std::move(created.object);
  }
  test::AppDataScope app_data;
  test::LoopbackPeer announcements;
  FakeAudioEndpoint* fake;  // owned by the manager's capture
  ErrorCode code;
  std::unique_ptr<StreamManager> manager;
};

}  // namespace

// The capture's and the encoder's failures; formats that cannot become
// 48 kHz stereo fail with CaptureFailed (5).
TEST(StreamManager, CreateFailuresReturnTheirCodesAndNoManager) {
  using E = ErrorCode;
  const struct {
    E open, init;
    MixFormat format;
    bool broken_codec;
    E code;
  } cases[] = {{E::NoAudioDevice, E::Ok, {true, 48000, 2}, false, E::NoAudioDevice},
               {E::CaptureFailed, E::Ok, {true, 48000, 2}, false, E::CaptureFailed},
               {E::Ok, E::CaptureFailed, {true, 48000, 2}, false, E::CaptureFailed},
               {E::Ok, E::Ok, {false, 48000, 2}, false, E::CaptureFailed},
               {E::Ok, E::Ok, {true, 500, 2}, false, E::CaptureFailed},
               {E::Ok, E::Ok, {true, 48000, 65}, false, E::CaptureFailed},
               {E::Ok, E::Ok, {true, 48000, 2}, true, E::CodecError}};
  for (const auto& c : cases) {
    EncoderConfig encoder;
    if (c.broken_codec) encoder.sample_rate = 12345;  // Opus refuses it
    Rig rig({c.open, c.init, c.format}, encoder);
    EXPECT_EQ(rig.code, c.code);
    EXPECT_FALSE(rig.manager);
  }
}

TEST(StreamManager, BusyPortFailsStartWithoutCaptureOrStreamingThreads) {
  UdpSocket holder;
  ASSERT_TRUE(holder.open() && holder.bind(kIpv4Any, 0));
  Rig rig({}, {}, holder.local_port());
  ASSERT_TRUE(rig.manager);
  EXPECT_EQ(rig.manager->start(), ErrorCode::InternalError);
  EXPECT_EQ(rig.fake->counters().thread_enters + rig.fake->counters().starts, 0);
}

// Bitrates as the tray sets them (below 1: the default) and as a receiver
// asks (4 big-endian bytes, taken as sent: Opus refuses 0); pause by its
// first byte; other types ignored.
TEST(StreamManager, BitrateAndControlMessagesFollowTheirRules) {
  Rig rig;
  ASSERT_TRUE(rig.manager);
  StreamManager& m = *rig.manager;
  auto tray = [&](std::int32_t bitrate) {
    m.set_bitrate(bitrate);
    return m.bitrate_kbps();
  };
  EXPECT_EQ(std::vector<int>({tray(64000), tray(0), tray(64000), tray(-5)}),
            std::vector<int>({64, 128, 64, 128}));
  using T = tovik::CtrlType;
  auto control = [&](T type, std::vector<unsigned char> payload) {
    m.handle_control(type, payload.data(), payload.size());
    return std::to_string(m.bitrate_kbps()) + (m.is_paused() ? " paused" : "");
  };
  EXPECT_EQ((std::vector<std::string>{
                control(T::SetBitrate, {0, 0, 0xFA}), control(T::SetBitrate, {0, 0, 0xFA, 0}),
                control(T::SetBitrate, {0, 1, 0xF4, 0, 0x99}), control(T::SetBitrate, {0, 0, 0, 0}),
                control(T::SetPaused, {1}), control(T::SetPaused, {}), control(T::SetPaused, {0}),
                control(T(2), {1})}),
            (std::vector<std::string>{"128", "64", "128", "128", "128 paused", "128 paused", "128",
                                      "128"}));
}

// Audio played by the fake device in real time reaches a receiver as numbered
// frames; the device runs only once the receiver has connected; pausing stops
// the frames; without a default output the capture waits quietly, and a new
// one (44.1 kHz mono) takes over without a break in the numbering.
TEST(StreamManager, StreamsCapturedAudioToThePairedReceiverPausesAndFollowsTheDefault) {
  test::StateLog states;
  Rig rig;
  ASSERT_TRUE(rig.manager);
  rig.fake->play_real_time(480, [](float* out, std::uint32_t frames, int channels) {
    std::fill(out, out + frames * static_cast<std::uint32_t>(channels), 0.25f);
  });
  rig.manager->set_state_callback(states.callback());
  rig.manager->set_approval_callback([](const std::string&, const std::string&) { return true; });
  ASSERT_EQ(rig.manager->start(), ErrorCode::Ok);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(rig.fake->counters().starts, 0) << "the device ran with nobody listening";
  test::LoopbackPeer phone;
  phone.send(build_hello("Phone", "rx-1", rig.manager->pairing_code()), rig.manager->audio_port());
  ASSERT_TRUE(test::wait_until([&] { return states.has(ConnectionState::Connected, "Phone"); }));
  std::uint32_t sequence = 0;
  auto receive_frames = [&](int count) {
    for (int frames = 0; frames < count; ++frames, ++sequence) {
      auto datagram = phone.receive(is_audio);
      AudioFrameHeader h;
      ASSERT_TRUE(datagram &&
                  parse_audio_header(reinterpret_cast<const std::uint8_t*>(datagram->data()),
                                     datagram->size(), &h));
      EXPECT_EQ(h.sequence, sequence);
    }
  };
  receive_frames(10);
  rig.manager->pause();
  // Frames already in flight may still arrive; after them, nothing.
  while (phone.receive(is_audio, std::chrono::milliseconds(300))) ++sequence;
  EXPECT_FALSE(phone.receive(is_audio, std::chrono::milliseconds(300)));
  rig.manager->resume();
  // No default output: one line, however many changes, until there is one.
  for (int opens : {2, 3}) {
    rig.fake->change_default({ErrorCode::NoAudioDevice, ErrorCode::Ok, {true, 48000, 2}});
    ASSERT_TRUE(test::wait_until([&] { return rig.fake->counters().opens == opens; }));
  }
  rig.fake->change_default({ErrorCode::Ok, ErrorCode::Ok, {true, 44100, 1}});
  receive_frames(10);
  auto log = test::log_lines(rig.app_data, "debug.log");
  log.erase(std::remove_if(log.begin(), log.end(),
                           [](const std::string& line) { return line.rfind("capture: ", 0) != 0; }),
            log.end());
  EXPECT_EQ(log, (std::vector<std::string>{
                     "capture: follow default output: none usable (code 4), waiting for one",
                     "capture: follow default output: now fake, 44100 Hz, 1 channels"}));
  rig.manager->stop();
  rig.manager->stop();
  EXPECT_EQ(states.count(ConnectionState::Disconnected), 2);
}
