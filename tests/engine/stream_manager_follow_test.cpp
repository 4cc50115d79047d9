// The engine asleep without a receiver and streaming on across a change of
// the default output, with its frame numbers running on.
#include <gtest/gtest.h>
#include <opus/opus.h>

#include <atomic>
#include <cmath>
#include <thread>

#include "engine/fake/fake_audio_endpoint.h"
#include "engine/stream_manager.h"
#include "session_harness.h"
#include "signal_analysis.h"

namespace {

bool is_audio(const std::string& d) { return d.size() > 16 && d[0] == 0x01; }

// A 1 kHz tone at the rate of the device: the first is stereo at 48 kHz,
// the surround one that takes over has 44.1 kHz.
FakeGenerator tone() {
  return [phase = 0.0](float* out, std::uint32_t frames, int channels) mutable {
    const double step = 2 * 3.14159265358979 * 1000.0 / (channels == 6 ? 44100 : 48000);
    for (std::uint32_t i = 0; i < frames; ++i, phase += step) {
      for (int c = 0; c < channels; ++c) out[i * channels + c] = 0.5f * std::sin(phase);
    }
  };
}

}  // namespace

TEST(StreamManagerFollow, SleepsUntilAReceiverConnectsThenFollowsTheDefaultOutput) {
  test::AppDataScope app_data;
  test::LoopbackPeer announcements;
  auto endpoint = std::make_unique<FakeAudioEndpoint>();
  FakeAudioEndpoint& device = *endpoint;
  device.play_real_time(480, tone());
  StreamManagerOptions options;
  options.endpoint = std::move(endpoint);
  options.transport = test::loopback_transmitter_config(announcements);
  auto manager = std::move(StreamManager::create(StreamConfig(), std::move(options)).object);
  manager->set_approval_callback([](const std::string&, const std::string&) { return true; });
  ASSERT_EQ(manager->start(), ErrorCode::Ok);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(device.counters().starts, 0) << "the device ran with nobody listening";

  test::LoopbackPeer phone;
  phone.send(build_hello("Phone", "rx-1", manager->pairing_code()), manager->audio_port());
  int error = 0;
  OpusDecoder* decoder = opus_decoder_create(48000, 2, &error);
  std::vector<float> left;
  std::uint32_t expected = 0;
  for (int frame = 0; frame < 100; ++frame) {
    if (frame == 25) device.change_default({ErrorCode::Ok, ErrorCode::Ok, {true, 44100, 6}});
    auto datagram = phone.receive(is_audio);
    ASSERT_TRUE(datagram);
    AudioFrameHeader header;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(datagram->data());
    ASSERT_TRUE(parse_audio_header(bytes, datagram->size(), &header));
    ASSERT_EQ(header.sequence, expected++);
    float pcm[960 * 2];
    const int n = opus_decode_float(decoder, bytes + 16, header.payload_size, pcm, 960, 0);
    for (int i = 0; frame >= 75 && i < n; ++i) left.push_back(pcm[2 * i]);
  }
  opus_decoder_destroy(decoder);
  EXPECT_EQ(manager->bitrate_kbps(), 128);
  EXPECT_NEAR(test::zero_crossing_frequency(left, 48000), 1000.0, 5.0);
  EXPECT_TRUE(test::log_has_line(app_data, "debug.log",
                                 "capture: follow default output: now fake, 44100 Hz, 6 channels"));
  manager->stop();
}
