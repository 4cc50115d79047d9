#include "engine/stream_manager.h"

#include <gtest/gtest.h>
#include <opus/opus.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <thread>

#include "engine/fake/fake_audio_endpoint.h"
#include "session_harness.h"
#include "signal_analysis.h"

using tovik::ConnectionState;

namespace {

constexpr int kRate = 48000;
constexpr double kPi = 3.14159265358979323846;

bool is_audio(const std::string& d) { return d.size() > 16 && d[0] == 0x01; }

struct Rig {
  FakeAudioEndpoint* endpoint = nullptr;  // owned by the manager's capture
  std::unique_ptr<StreamManager> manager;
  ErrorCode code = ErrorCode::Ok;
};

Rig make_rig(const test::LoopbackPeer& announcements, FakeEndpointConfig endpoint_config = {},
             EncoderConfig encoder = {}) {
  Rig rig;
  auto endpoint = std::make_unique<FakeAudioEndpoint>(endpoint_config);
  rig.endpoint = endpoint.get();
  StreamManagerOptions options;
  options.endpoint = std::move(endpoint);
  options.transport = test::loopback_transmitter_config(announcements);
  options.encoder = encoder;
  StreamConfig config;
  config.device_name = "Desk";
  config.device_id = "tovik-feedfacefeedface";
  auto created = StreamManager::create(config, std::move(options));
  rig.code = created.code;
  rig.manager = std::move(created.object);
  return rig;
}

std::string be32(std::uint32_t v) {
  return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 8), static_cast<char>(v)};
}

}  // namespace

TEST(StreamManager, CreateFailuresReturnTheirCodesAndNoManager) {
  test::AppDataScope app_data;
  test::LoopbackPeer announcements;
  FakeEndpointConfig no_device;
  no_device.open_result = ErrorCode::NoAudioDevice;
  Rig missing = make_rig(announcements, no_device);
  EXPECT_EQ(missing.code, ErrorCode::NoAudioDevice);
  EXPECT_FALSE(missing.manager);

  FakeEndpointConfig integer_pcm;
  integer_pcm.format.is_float = false;
  Rig not_float = make_rig(announcements, integer_pcm);
  EXPECT_EQ(not_float.code, ErrorCode::CaptureFailed);
  EXPECT_FALSE(not_float.manager);

  FakeEndpointConfig unconvertible;
  unconvertible.format.sample_rate = 500;
  EXPECT_EQ(make_rig(announcements, unconvertible).code, ErrorCode::CaptureFailed);

  EncoderConfig broken;
  broken.sample_rate = 12345;  // Opus refuses it
  Rig codec = make_rig(announcements, {}, broken);
  EXPECT_EQ(codec.code, ErrorCode::CodecError);
  EXPECT_FALSE(codec.manager);
}

TEST(StreamManager, BusyPortFailsStartWithoutCaptureOrStreamingThreads) {
  test::AppDataScope app_data;
  test::LoopbackPeer announcements;
  UdpSocket holder;
  ASSERT_TRUE(holder.open());
  ASSERT_TRUE(holder.bind(kIpv4Any, 0));
  auto endpoint = std::make_unique<FakeAudioEndpoint>();
  FakeAudioEndpoint* fake = endpoint.get();
  StreamManagerOptions options;
  options.endpoint = std::move(endpoint);
  options.transport = test::loopback_transmitter_config(announcements);
  options.transport.audio_port = holder.local_port();
  auto manager = std::move(StreamManager::create(StreamConfig(), std::move(options)).object);
  ASSERT_TRUE(manager);
  EXPECT_EQ(manager->start(), ErrorCode::InternalError);
  EXPECT_EQ(fake->counters().thread_enters, 0);
  EXPECT_EQ(fake->counters().starts, 0);
}

TEST(StreamManager, BitrateAndControlMessagesFollowTheirRules) {
  test::AppDataScope app_data;
  test::LoopbackPeer announcements;
  Rig rig = make_rig(announcements);
  ASSERT_TRUE(rig.manager);
  StreamManager& m = *rig.manager;
  EXPECT_EQ(m.bitrate_kbps(), 128);
  m.set_bitrate(64000);
  EXPECT_EQ(m.bitrate_kbps(), 64);
  m.set_bitrate(0);
  EXPECT_EQ(m.bitrate_kbps(), 128);
  m.set_bitrate(-5);
  EXPECT_EQ(m.bitrate_kbps(), 128);

  const std::string to_64k = be32(64000);
  m.handle_control(tovik::CtrlType::SetBitrate,
                   reinterpret_cast<const unsigned char*>(to_64k.data()), 3);  // too short
  EXPECT_EQ(m.bitrate_kbps(), 128);
  m.handle_control(tovik::CtrlType::SetBitrate,
                   reinterpret_cast<const unsigned char*>(to_64k.data()), 4);
  EXPECT_EQ(m.bitrate_kbps(), 64);
  const unsigned char to_128k[] = {0x00, 0x01, 0xF4, 0x00, 0x99};
  m.handle_control(tovik::CtrlType::SetBitrate, to_128k, sizeof to_128k);
  EXPECT_EQ(m.bitrate_kbps(), 128);
  const std::string refused = be32(0);  // Opus refuses a zero bitrate
  m.handle_control(tovik::CtrlType::SetBitrate,
                   reinterpret_cast<const unsigned char*>(refused.data()), 4);
  EXPECT_EQ(m.bitrate_kbps(), 128);

  const unsigned char on[] = {0x01};
  const unsigned char off[] = {0x00};
  m.handle_control(tovik::CtrlType::SetPaused, on, 1);
  EXPECT_TRUE(m.is_paused());
  m.handle_control(tovik::CtrlType::SetPaused, off, 0);  // empty: ignored
  EXPECT_TRUE(m.is_paused());
  m.handle_control(tovik::CtrlType::SetPaused, off, 1);
  EXPECT_FALSE(m.is_paused());
  m.handle_control(static_cast<tovik::CtrlType>(2), on, 1);
  EXPECT_FALSE(m.is_paused());
}

TEST(StreamManager, StopTwiceReportsDisconnectedTwice) {
  test::AppDataScope app_data;
  test::LoopbackPeer announcements;
  test::StateLog states;
  Rig rig = make_rig(announcements);
  rig.manager->set_state_callback(states.callback());
  ASSERT_EQ(rig.manager->start(), ErrorCode::Ok);
  EXPECT_TRUE(states.has(ConnectionState::Searching));
  rig.manager->stop();
  rig.manager->stop();
  EXPECT_EQ(states.count(ConnectionState::Disconnected), 2);
  rig.manager->set_state_callback(nullptr);
}

// A sine played by the fake device in real time reaches a receiver as
// numbered Opus frames that decode back to the sine; the device runs only
// once the receiver has connected; pausing stops the frames; a new default
// output (44.1 kHz mono) takes over without a break in the numbering.
TEST(StreamManager, StreamsCapturedAudioToThePairedReceiverPausesAndFollowsTheDefault) {
  test::AppDataScope app_data;
  test::LoopbackPeer announcements;
  test::StateLog states;
  Rig rig = make_rig(announcements);
  ASSERT_TRUE(rig.manager);
  std::atomic<double> phase{0.0};
  rig.endpoint->play_real_time(480, [&](float* out, std::uint32_t frames, int channels) {
    const double step = 2 * kPi * 1000.0 / (channels == 1 ? 44100 : kRate);
    double p = phase;
    for (std::uint32_t i = 0; i < frames; ++i, p += step) {
      for (int c = 0; c < channels; ++c)
        out[i * channels + c] = static_cast<float>(0.5 * std::sin(p));
    }
    phase = std::fmod(p, 2 * kPi);
  });
  rig.manager->set_state_callback(states.callback());
  rig.manager->set_approval_callback([](const std::string&, const std::string&) { return true; });
  ASSERT_EQ(rig.manager->start(), ErrorCode::Ok);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(rig.endpoint->counters().starts, 0) << "the device ran with nobody listening";

  test::LoopbackPeer phone;
  phone.send(build_hello("Phone", "rx-1", rig.manager->pairing_code()), rig.manager->audio_port());
  ASSERT_TRUE(test::wait_until([&] { return states.has(ConnectionState::Connected, "Phone"); }));

  int error = 0;
  OpusDecoder* decoder = opus_decoder_create(kRate, 2, &error);
  ASSERT_EQ(error, OPUS_OK);
  std::uint32_t expected_sequence = 0;
  // The left channel of the next `count` frames, each checked.
  auto receive_frames = [&](int count) {
    std::vector<float> decoded;
    for (int frames = 0; frames < count; ++frames) {
      auto datagram = phone.receive(is_audio);
      if (!datagram) break;
      AudioFrameHeader header;
      auto bytes = reinterpret_cast<const std::uint8_t*>(datagram->data());
      EXPECT_TRUE(parse_audio_header(bytes, datagram->size(), &header));
      EXPECT_EQ(header.sequence, expected_sequence++);
      EXPECT_EQ(header.timestamp, header.sequence * 960u);
      EXPECT_EQ(header.flags, header.sequence % 50 == 0 ? 1 : 0);
      EXPECT_EQ(header.bitrate, 128000u);
      float pcm[960 * 2];
      const int n = opus_decode_float(decoder, bytes + 16, header.payload_size, pcm, 960, 0);
      EXPECT_EQ(n, 960);
      decoded.insert(decoded.end(), pcm, pcm + 2 * std::max(n, 0));
    }
    std::vector<float> left = test::channel_of(decoded, 2, 0);
    return std::vector<float>(left.begin() + std::min<std::size_t>(left.size(), kRate / 10),
                              left.end());  // past the codec's start
  };
  std::vector<float> settled = receive_frames(50);
  EXPECT_NEAR(test::zero_crossing_frequency(settled, kRate), 1000.0, 3.0);
  EXPECT_NEAR(test::rms(settled), 0.5 / std::sqrt(2.0), 0.03);

  rig.manager->pause();
  // Frames already in flight may still arrive; after them, nothing.
  while (phone.receive(is_audio, std::chrono::milliseconds(300))) ++expected_sequence;
  EXPECT_FALSE(phone.receive(is_audio, std::chrono::milliseconds(300)));
  rig.manager->resume();
  rig.endpoint->change_default({ErrorCode::Ok, ErrorCode::Ok, {true, 44100, 1}});
  receive_frames(10);
  EXPECT_NEAR(test::zero_crossing_frequency(receive_frames(30), kRate), 1000.0, 3.0);
  EXPECT_TRUE(test::log_has_line(app_data, "debug.log",
                                 "capture: follow default output: now fake, 44100 Hz, 1 channels"));
  opus_decoder_destroy(decoder);
  rig.manager->stop();
  rig.manager->set_state_callback(nullptr);
}
