// The capture driven by its device: what it delivers, the waits between
// drains, the sleep while nobody listens.
#include "engine/loopback_capture.h"

#include <gtest/gtest.h>

#include <mutex>
#include <numeric>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "engine/capture_wait_policy.h"
#include "engine/device_change_filter.h"
#include "engine/fake/fake_audio_endpoint.h"
#include "engine/startup_silence.h"
#include "support/test_support.h"

namespace {

// Starts the capture over a fake device; each packet heard is described as
// "rate/channels frames sum".
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
      calls.push_back(std::to_string(rate) + "/" + std::to_string(channels) + " " +
                      std::to_string(frames) + " " +
                      std::to_string(std::accumulate(data, data + frames * channels, 0.0)));
    });
  }
  std::vector<std::string> heard() {
    std::lock_guard<std::mutex> lock(mutex);
    return calls;
  }
  FakeAudioEndpoint* fake;
  std::unique_ptr<LoopbackCapture> capture;
  std::mutex mutex;
  std::vector<std::string> calls;
  bool throwing = false;
};

}  // namespace

// Data as it came, silent packets as zeros of any length, empty ones not at
// all; a failed borrow ends the pass (nothing to release), not the loop.
// Stopping (harmless before start and when repeated) stops the stream and
// leaves the thread; an exception ends the thread, the stream left as it is.
TEST(LoopbackCapture, DeliversDataAndSilenceInTheDeviceFormatUntilStopped) {
  EXPECT_EQ(LoopbackCapture::create(nullptr).code, ErrorCode::NoAudioDevice);
  Rig rig({ErrorCode::Ok, ErrorCode::Ok, {true, 44100, 6}});
  rig.fake->push(FakePacket::data({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 6));
  rig.fake->push(FakePacket::silence(5000, 6));
  rig.fake->push(FakePacket::empty());
  rig.fake->push(FakePacket::borrow_failure());
  rig.fake->push(FakePacket::data({6, 5, 4, 3, 2, 1}, 6));
  rig.capture->stop();
  rig.start();
  ASSERT_TRUE(test::wait_until([&] { return rig.heard().size() == 3; }));
  rig.capture->stop();
  rig.capture->stop();
  EXPECT_EQ(rig.heard(), (std::vector<std::string>{"44100/6 2 78.000000", "44100/6 5000 0.000000",
                                                   "44100/6 1 21.000000"}));
  auto c = rig.fake->counters();
  EXPECT_EQ(c.released_frames, (std::vector<std::uint32_t>{2, 5000, 0, 1}));
  EXPECT_EQ(std::vector<int>({c.borrows, c.thread_enters, c.starts, c.stops, c.thread_leaves}),
            std::vector<int>({5, 1, 1, 1, 1}));
  Rig failing;
  failing.throwing = true;
  failing.fake->push(FakePacket::data({1.0f, 2.0f}, 2));
  failing.start();
  EXPECT_TRUE(test::wait_until([&] { return failing.fake->counters().thread_leaves == 1; }));
  c = failing.fake->counters();
  EXPECT_EQ(std::vector<int>({c.starts, c.stops}), std::vector<int>({1, 0}));
  EXPECT_TRUE(c.released_frames.empty());
}

TEST(CaptureWaitPolicy, PollsUntilTheDeviceSignalsAndBacksOffInSilence) {
  CaptureWaitPolicy policy;
  policy.restart();
  std::vector<int> timeouts = {policy.timeout_ms()};
  for (auto [signalled, found] :
       {std::pair(false, false), std::pair(false, false), std::pair(false, false),
        std::pair(false, true), std::pair(true, true), std::pair(false, false),
        std::pair(false, true)}) {
    policy.after_wait(signalled, found);
    timeouts.push_back(policy.timeout_ms());
  }
  EXPECT_EQ(timeouts, (std::vector<int>{10, 20, 40, 40, 10, 500, 500, 10}));
}

TEST(DeviceChangeFilter, PassesOnWhatConcernsTheCapturedDevice) {
  DeviceChangeFilter f;
  f.set_current("A");
  EXPECT_EQ(
      (std::vector<bool>{f.on_default_changed("A"), f.on_default_changed("B"),
                         f.on_default_changed(""), f.on_device_added("C"), f.on_device_removed("C"),
                         f.on_device_removed("A"), f.on_device_state("A", true),
                         f.on_device_state("A", false), f.on_device_state("C", false)}),
      (std::vector<bool>{0, 1, 1, 0, 0, 1, 0, 1, 0}));
  f.set_current("");  // waiting for a device: any new one may do
  EXPECT_EQ((std::vector<bool>{f.on_device_added("C"), f.on_device_state("C", true),
                               f.on_default_changed(""), f.on_device_removed("")}),
            (std::vector<bool>{1, 1, 0, 0}));
}

TEST(StartupSilence, OnePeriodPerPeriodUntilTheDeviceDeliversOrThreeSeconds) {
  constexpr std::int64_t ms = 1000000;
  StartupSilence s(48000, 480);
  std::vector<std::int64_t> got = {s.take_due(5 * ms)};  // not started
  s.start(1000 * ms);
  got.insert(got.end(), {s.take_due(1009 * ms), s.take_due(1025 * ms), s.take_due(1025 * ms),
                         s.next_due_ns()});
  s.stop();
  got.push_back(s.take_due(1100 * ms));
  s.start(0);
  got.insert(got.end(), {s.take_due(StartupSilence::kLimitNs), s.next_due_ns()});
  EXPECT_EQ(got, (std::vector<std::int64_t>{0, 0, 960, 0, 1030 * ms, 0, 300 * 480, -1}));
}

// An inactive capture stops its stream and wakes for nothing; a device that
// never signals is polled.
TEST(LoopbackCaptureSleep, AnInactiveCaptureWakesForNothingAndASilentDeviceIsPolled) {
  Rig rig;
  rig.start();
  ASSERT_TRUE(test::wait_until([&] { return rig.fake->streaming(); }));
  rig.capture->set_active(false);
  ASSERT_TRUE(test::wait_until([&] { return !rig.fake->streaming(); }));
  rig.fake->push(FakePacket::data({0.5f, 0.5f}, 2));
  const int waits = rig.fake->counters().waits;
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_LE(rig.fake->counters().waits, waits + 1);
  EXPECT_TRUE(rig.heard().empty());
  rig.capture->set_active(true);
  EXPECT_TRUE(test::wait_until([&] { return rig.heard().size() == 1; }));
  EXPECT_EQ(rig.fake->counters().starts, 2);
  FakeEndpointConfig never_signals;
  never_signals.signals = false;
  Rig polled(never_signals);
  polled.fake->push(FakePacket::data({0.5f, 0.5f}, 2));
  polled.start();
  EXPECT_TRUE(test::wait_until([&] { return polled.heard().size() == 1; }));
  EXPECT_EQ(polled.fake->counters().signalled_waits, 0);
}
