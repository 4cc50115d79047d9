// The capture driven by its device: what it delivers, the waits between
// drains, the sleep while nobody listens, the move to a new default output.
#include "engine/loopback_capture.h"

#include <gtest/gtest.h>

#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "engine/capture_wait_policy.h"
#include "engine/device_change_filter.h"
#include "engine/fake/fake_audio_endpoint.h"
#include "engine/startup_silence.h"
#include "support/test_support.h"

namespace {

struct Call {
  std::vector<float> samples;
  int rate, channels;
};

struct Rig {
  explicit Rig(FakeEndpointConfig config = {}) {
    auto endpoint = std::make_unique<FakeAudioEndpoint>(config);
    fake = endpoint.get();
    capture = std::move(LoopbackCapture::create(std::move(endpoint)).object);
  }
  void start() {
    capture->start([this](const float* data, std::size_t frames, int rate, int channels) {
      std::lock_guard<std::mutex> lock(mutex);
      if (throwing) throw std::runtime_error("callback failed");
      calls.push_back({std::vector<float>(data, data + frames * channels), rate, channels});
    });
  }
  std::size_t heard() {
    std::lock_guard<std::mutex> lock(mutex);
    return calls.size();
  }
  FakeAudioEndpoint* fake;
  std::unique_ptr<LoopbackCapture> capture;
  std::mutex mutex;
  std::vector<Call> calls;
  bool throwing = false;
};

const FakeEndpointConfig kNoDevice{ErrorCode::NoAudioDevice, ErrorCode::Ok, {true, 48000, 2}};

}  // namespace

TEST(LoopbackCapture, CreateMapsEndpointFailures) {
  const struct {
    FakeEndpointConfig config;
    ErrorCode code;
  } cases[] = {
      {kNoDevice, ErrorCode::NoAudioDevice},
      {{ErrorCode::CaptureFailed, ErrorCode::Ok, {true, 48000, 2}}, ErrorCode::CaptureFailed},
      {{ErrorCode::Ok, ErrorCode::Ok, {false, 48000, 2}}, ErrorCode::CaptureFailed},
      {{ErrorCode::Ok, ErrorCode::CaptureFailed, {true, 48000, 2}}, ErrorCode::CaptureFailed}};
  for (const auto& c : cases) {
    EXPECT_EQ(LoopbackCapture::create(std::make_unique<FakeAudioEndpoint>(c.config)).code, c.code);
  }
  EXPECT_EQ(LoopbackCapture::create(nullptr).code, ErrorCode::NoAudioDevice);
}

// Data as it came, silent packets as zeros of any length, empty ones not at
// all; a failed borrow ends the pass (nothing to release), not the loop.
TEST(LoopbackCapture, DeliversDataAndSilenceInTheDeviceFormat) {
  Rig rig({ErrorCode::Ok, ErrorCode::Ok, {true, 44100, 6}});
  EXPECT_EQ(rig.capture->sample_rate() * 10 + rig.capture->channels(), 441006);
  const std::vector<float> first = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  rig.fake->push(FakePacket::data(first, 6));
  rig.fake->push(FakePacket::silence(5000, 6));
  rig.fake->push(FakePacket::empty());
  rig.fake->push(FakePacket::borrow_failure());
  rig.fake->push(FakePacket::data({6, 5, 4, 3, 2, 1}, 6));
  rig.start();
  ASSERT_TRUE(test::wait_until([&] { return rig.heard() == 3; }));
  rig.capture->stop();
  EXPECT_EQ(rig.calls[0].samples, first);
  EXPECT_EQ(rig.calls[0].rate * 10 + rig.calls[0].channels, 441006);
  EXPECT_EQ(rig.calls[1].samples, std::vector<float>(30000, 0.0f));
  EXPECT_EQ(rig.calls[2].samples, (std::vector<float>{6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(rig.fake->counters().released_frames, (std::vector<std::uint32_t>{2, 5000, 0, 1}));
  EXPECT_EQ(rig.fake->counters().borrows, 5);
}

TEST(LoopbackCapture, StopEndsTheThreadAndAnExceptionEndsItWithoutStoppingTheStream) {
  Rig rig;
  rig.capture->stop();  // before start: harmless
  rig.start();
  EXPECT_TRUE(test::wait_until([&] { return rig.fake->counters().starts == 1; }));
  rig.capture->stop();
  rig.capture->stop();
  auto counters = rig.fake->counters();
  EXPECT_EQ(std::vector<int>({counters.thread_enters, counters.stops, counters.thread_leaves}),
            std::vector<int>({1, 1, 1}));
  Rig failing;
  failing.throwing = true;
  failing.fake->push(FakePacket::data({1.0f, 2.0f}, 2));
  failing.start();
  EXPECT_TRUE(test::wait_until([&] { return failing.fake->counters().thread_leaves == 1; }));
  counters = failing.fake->counters();
  EXPECT_EQ(std::vector<int>({counters.starts, counters.stops}), std::vector<int>({1, 0}));
  EXPECT_TRUE(counters.released_frames.empty());
}

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
  // d: new default, +: added, -: removed, 1/0: became active/inactive.
  const struct {
    const char* current;
    char event;
    const char* id;
    bool passed;
  } cases[] = {{"A", 'd', "A", false}, {"A", 'd', "B", true},  {"A", 'd', "", true},
               {"A", '+', "C", false}, {"A", '-', "C", false}, {"A", '-', "A", true},
               {"A", '1', "A", false}, {"A", '0', "A", true},  {"A", '0', "C", false},
               {"", '+', "C", true},   {"", '1', "C", true},   {"", 'd', "", false},
               {"", '-', "", false}};
  for (const auto& c : cases) {
    filter.set_current(c.current);
    const bool passed = c.event == 'd'   ? filter.on_default_changed(c.id)
                        : c.event == '+' ? filter.on_device_added(c.id)
                        : c.event == '-' ? filter.on_device_removed(c.id)
                                         : filter.on_device_state(c.id, c.event == '1');
    EXPECT_EQ(passed, c.passed) << c.current << " " << c.event << " " << c.id;
  }
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
  rig.start();
  ASSERT_TRUE(test::wait_until([&] { return rig.fake->streaming(); }));
  rig.capture->set_active(false);
  ASSERT_TRUE(test::wait_until([&] { return !rig.fake->streaming(); }));
  rig.fake->push(FakePacket::data({0.5f, 0.5f}, 2));
  const int waits = rig.fake->counters().waits;
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_LE(rig.fake->counters().waits, waits + 1);
  EXPECT_EQ(rig.heard(), 0u);
  rig.capture->set_active(true);
  EXPECT_TRUE(test::wait_until([&] { return rig.heard() == 1; }));
  EXPECT_EQ(rig.fake->counters().starts, 2);
}

TEST(LoopbackCaptureSleep, ADeviceThatNeverSignalsIsPolled) {
  FakeEndpointConfig silent_device;
  silent_device.signals = false;
  Rig rig(silent_device);
  rig.fake->push(FakePacket::data({0.5f, 0.5f}, 2));
  rig.start();
  EXPECT_TRUE(test::wait_until([&] { return rig.heard() == 1; }));
  EXPECT_EQ(rig.fake->counters().signalled_waits, 0);
}

// Without a default output it waits quietly (one line) until one comes, and
// captures the new default in its own format.
TEST(LoopbackCaptureFollow, WaitsWithoutADefaultOutputAndMovesToTheNewOneInItsFormat) {
  test::AppDataScope app_data;
  Rig rig;
  rig.start();
  rig.fake->change_default(kNoDevice);
  ASSERT_TRUE(test::wait_until([&] { return rig.fake->counters().opens >= 2; }));
  rig.fake->change_default(kNoDevice);
  ASSERT_TRUE(test::wait_until([&] { return rig.fake->counters().opens >= 3; }));
  rig.fake->change_default({ErrorCode::Ok, ErrorCode::Ok, {true, 44100, 6}});
  ASSERT_TRUE(test::wait_until([&] { return rig.capture->sample_rate() == 44100; }));
  rig.fake->push(FakePacket::data(std::vector<float>(6 * 441, 0.1f), 6));
  ASSERT_TRUE(test::wait_until([&] { return rig.heard() == 1; }));
  EXPECT_EQ(rig.calls[0].rate * 10 + rig.calls[0].channels, 441006);
  EXPECT_EQ(rig.capture->channels(), 6);
  EXPECT_EQ(rig.fake->counters().closes, 3);
  EXPECT_EQ(test::log_lines(app_data, "debug.log"),
            (std::vector<std::string>{
                "capture: follow default output: none usable (code 4), waiting for one",
                "capture: follow default output: now fake, 44100 Hz, 6 channels"}));
}
