// The capture driven by its device: the waits between drains, the sleep while
// nobody listens, and the move to a new default output.
#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "engine/capture_wait_policy.h"
#include "engine/device_change_filter.h"
#include "engine/fake/fake_audio_endpoint.h"
#include "engine/loopback_capture.h"
#include "engine/startup_silence.h"
#include "support/test_support.h"

namespace {

// The format of every packet the capture delivered.
struct Heard {
  std::mutex mutex;
  std::vector<std::pair<int, int>> formats;  // (rate, channels)
  LoopbackCapture::Callback callback() {
    return [this](const float*, std::size_t, int rate, int channels) {
      std::lock_guard<std::mutex> lock(mutex);
      formats.emplace_back(rate, channels);
    };
  }
  std::vector<std::pair<int, int>> seen() {
    std::lock_guard<std::mutex> lock(mutex);
    return formats;
  }
};

struct Rig {
  explicit Rig(FakeEndpointConfig config = {}) {
    auto endpoint = std::make_unique<FakeAudioEndpoint>(config);
    fake = endpoint.get();
    capture = std::move(LoopbackCapture::create(std::move(endpoint)).object);
    capture->start(heard.callback());
  }
  FakeAudioEndpoint* fake;
  Heard heard;
  std::unique_ptr<LoopbackCapture> capture;
};

const FakeEndpointConfig kSurround{ErrorCode::Ok, ErrorCode::Ok, {true, 44100, 6}};
const FakeEndpointConfig kNoDevice{ErrorCode::NoAudioDevice, ErrorCode::Ok, {true, 48000, 2}};

}  // namespace

TEST(CaptureWaitPolicy, PollsUntilTheDeviceSignalsAndBacksOffInSilence) {
  CaptureWaitPolicy policy;
  policy.restart();
  EXPECT_EQ(policy.timeout_ms(), 10);
  const struct {
    bool signalled, found;
    int next_ms;
  } steps[] = {{false, false, 20}, {false, false, 40},  {false, false, 40}, {false, true, 10},
               {true, true, 500},  {false, false, 500}, {false, true, 10}};
  for (const auto& step : steps) {
    policy.after_wait(step.signalled, step.found);
    EXPECT_EQ(policy.timeout_ms(), step.next_ms);
  }
}

TEST(DeviceChangeFilter, PassesOnWhatConcernsTheCapturedDevice) {
  DeviceChangeFilter filter;
  filter.set_current("A");
  EXPECT_FALSE(filter.on_default_changed("A"));
  EXPECT_TRUE(filter.on_default_changed("B"));
  EXPECT_TRUE(filter.on_default_changed(""));
  EXPECT_FALSE(filter.on_device_added("C"));
  EXPECT_FALSE(filter.on_device_removed("C"));
  EXPECT_TRUE(filter.on_device_removed("A"));
  EXPECT_FALSE(filter.on_device_state("A", true));
  EXPECT_TRUE(filter.on_device_state("A", false));
  EXPECT_FALSE(filter.on_device_state("C", false));
  filter.set_current("");  // waiting for a device: any new one may do
  EXPECT_TRUE(filter.on_device_added("C"));
  EXPECT_TRUE(filter.on_device_state("C", true));
  EXPECT_FALSE(filter.on_default_changed(""));
  EXPECT_FALSE(filter.on_device_removed(""));
}

TEST(StartupSilence, OnePeriodPerPeriodUntilTheDeviceDeliversOrThreeSeconds) {
  constexpr std::int64_t ms = 1000000;
  StartupSilence silence(48000, 480);
  EXPECT_EQ(silence.take_due(5 * ms), 0u);  // not started
  silence.start(1000 * ms);
  EXPECT_EQ(silence.take_due(1009 * ms), 0u);
  EXPECT_EQ(silence.take_due(1025 * ms), 960u);
  EXPECT_EQ(silence.take_due(1025 * ms), 0u);
  EXPECT_EQ(silence.next_due_ns(), 1030 * ms);
  silence.stop();
  EXPECT_EQ(silence.take_due(1100 * ms), 0u);
  silence.start(0);
  EXPECT_EQ(silence.take_due(StartupSilence::kLimitNs), 300u * 480u);
  EXPECT_EQ(silence.next_due_ns(), -1);
}

TEST(LoopbackCaptureSleep, AnInactiveCaptureStopsItsStreamAndWakesForNothing) {
  Rig rig;
  ASSERT_TRUE(test::wait_until([&] { return rig.fake->streaming(); }));
  rig.capture->set_active(false);
  ASSERT_TRUE(test::wait_until([&] { return !rig.fake->streaming(); }));
  rig.fake->push(FakePacket::data({0.5f, 0.5f}, 2));
  const int waits = rig.fake->counters().waits;
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_LE(rig.fake->counters().waits, waits + 1);
  EXPECT_TRUE(rig.heard.seen().empty());
  rig.capture->set_active(true);
  EXPECT_TRUE(test::wait_until([&] { return rig.heard.seen().size() == 1; }));
  EXPECT_EQ(rig.fake->counters().starts, 2);
}

TEST(LoopbackCaptureSleep, ADeviceThatNeverSignalsIsPolled) {
  FakeEndpointConfig silent_device;
  silent_device.signals = false;
  Rig rig(silent_device);
  rig.fake->push(FakePacket::data({0.5f, 0.5f}, 2));
  EXPECT_TRUE(test::wait_until([&] { return rig.heard.seen().size() == 1; }));
  EXPECT_EQ(rig.fake->counters().signalled_waits, 0);
}

TEST(LoopbackCaptureFollow, MovesToANewDefaultOutputInItsFormat) {
  test::AppDataScope app_data;
  Rig rig;
  rig.fake->change_default(kSurround);
  ASSERT_TRUE(test::wait_until([&] { return rig.capture->sample_rate() == 44100; }));
  rig.fake->push(FakePacket::data(std::vector<float>(6 * 441, 0.1f), 6));
  ASSERT_TRUE(test::wait_until([&] { return rig.heard.seen().size() == 1; }));
  EXPECT_EQ(rig.heard.seen()[0], std::make_pair(44100, 6));
  EXPECT_EQ(rig.capture->channels(), 6);
  EXPECT_EQ(rig.fake->counters().closes, 1);
  EXPECT_EQ(
      test::log_lines(app_data, "debug.log"),
      std::vector<std::string>{"capture: follow default output: now fake, 44100 Hz, 6 channels"});
}

TEST(LoopbackCaptureFollow, WaitsQuietlyWithoutADefaultOutputUntilOneComes) {
  test::AppDataScope app_data;
  Rig rig;
  rig.fake->change_default(kNoDevice);
  ASSERT_TRUE(test::wait_until([&] { return rig.fake->counters().opens >= 2; }));
  rig.fake->change_default(kNoDevice);
  ASSERT_TRUE(test::wait_until([&] { return rig.fake->counters().opens >= 3; }));
  rig.fake->change_default(FakeEndpointConfig{});
  ASSERT_TRUE(test::wait_until([&] { return rig.fake->counters().initializes >= 2; }));
  rig.fake->push(FakePacket::data({0.5f, 0.5f}, 2));
  EXPECT_TRUE(test::wait_until([&] { return rig.heard.seen().size() == 1; }));
  EXPECT_EQ(test::log_lines(app_data, "debug.log"),
            (std::vector<std::string>{
                "capture: follow default output: none usable (code 4), waiting for one",
                "capture: follow default output: now fake, 48000 Hz, 2 channels"}));
}
