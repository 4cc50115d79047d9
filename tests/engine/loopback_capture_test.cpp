#include "engine/loopback_capture.h"

#include <gtest/gtest.h>

#include <mutex>
#include <stdexcept>
#include <vector>

#include "engine/fake/fake_audio_endpoint.h"
#include "support/test_support.h"

namespace {

struct Call {
  std::vector<float> samples;
  std::size_t frames;
  int rate;
  int channels;
};

// Collects callback invocations across threads.
class Recorder {
 public:
  LoopbackCapture::Callback callback() {
    return [this](const float* data, std::size_t frames, int rate, int channels) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (throw_) throw std::runtime_error("callback failed");
      calls_.push_back(
          {std::vector<float>(data, data + frames * channels), frames, rate, channels});
    };
  }
  std::vector<Call> calls() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  void throw_from_now_on() {
    std::lock_guard<std::mutex> lock(mutex_);
    throw_ = true;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Call> calls_;
  bool throw_ = false;
};

struct Rig {
  explicit Rig(FakeEndpointConfig config = {}) {
    auto endpoint = std::make_unique<FakeAudioEndpoint>(config);
    fake = endpoint.get();
    auto created = LoopbackCapture::create(std::move(endpoint));
    EXPECT_EQ(created.code, ErrorCode::Ok);
    capture = std::move(created.object);
  }
  FakeAudioEndpoint* fake;
  std::unique_ptr<LoopbackCapture> capture;
  Recorder recorder;
};

ErrorCode create_code(FakeEndpointConfig config) {
  return LoopbackCapture::create(std::make_unique<FakeAudioEndpoint>(config)).code;
}

}  // namespace

TEST(LoopbackCaptureCreate, MapsEndpointFailures) {
  FakeEndpointConfig no_device;
  no_device.open_result = ErrorCode::NoAudioDevice;
  EXPECT_EQ(create_code(no_device), ErrorCode::NoAudioDevice);

  FakeEndpointConfig unusable;
  unusable.open_result = ErrorCode::CaptureFailed;
  EXPECT_EQ(create_code(unusable), ErrorCode::CaptureFailed);

  FakeEndpointConfig integer_pcm;
  integer_pcm.format = {false, 48000, 2};
  EXPECT_EQ(create_code(integer_pcm), ErrorCode::CaptureFailed);

  FakeEndpointConfig init_fails;
  init_fails.initialize_result = ErrorCode::CaptureFailed;
  EXPECT_EQ(create_code(init_fails), ErrorCode::CaptureFailed);

  EXPECT_EQ(LoopbackCapture::create(nullptr).code, ErrorCode::NoAudioDevice);
}

TEST(LoopbackCaptureCreate, NonFloatFormatIsRefusedBeforeInitialising) {
  // create destroys a refused endpoint: look at the fake through a forwarder.
  auto fake = std::make_shared<FakeAudioEndpoint>(
      FakeEndpointConfig{ErrorCode::Ok, ErrorCode::Ok, MixFormat{false, 48000, 2}});
  struct Forward final : AudioEndpoint {
    explicit Forward(std::shared_ptr<FakeAudioEndpoint> f) : fake(std::move(f)) {}
    ErrorCode open_device() override { return fake->open_device(); }
    MixFormat mix_format() const override { return fake->mix_format(); }
    ErrorCode initialize() override { return fake->initialize(); }
    void close_device() override {}
    std::string device_name() const override { return ""; }
    void start() override {}
    void stop() override {}
    bool wait(int) override { return false; }
    void wake() override {}
    bool take_device_change() override { return false; }
    void next_packet_size(std::uint32_t*) override {}
    bool borrow(EndpointPacket*) override { return false; }
    void release(std::uint32_t) override {}
    std::shared_ptr<FakeAudioEndpoint> fake;
  };
  EXPECT_EQ(LoopbackCapture::create(std::make_unique<Forward>(fake)).code,
            ErrorCode::CaptureFailed);
  EXPECT_EQ(fake->counters().opens, 1);
  EXPECT_EQ(fake->counters().initializes, 0);
}

TEST(LoopbackCaptureCreate, ReportsTheMixFormat) {
  Rig rig(FakeEndpointConfig{ErrorCode::Ok, ErrorCode::Ok, MixFormat{true, 44100, 6}});
  EXPECT_EQ(rig.capture->sample_rate(), 44100);
  EXPECT_EQ(rig.capture->channels(), 6);
}

TEST(LoopbackCapture, DeliversDataAndSilenceAndSkipsEmptyPackets) {
  Rig rig;
  rig.fake->push(FakePacket::data({0.1f, 0.2f, 0.3f, 0.4f}, 2));
  rig.fake->push(FakePacket::silence(480));
  rig.fake->push(FakePacket::empty());
  rig.fake->push(FakePacket::data({0.5f, 0.6f}, 2));
  rig.capture->start(rig.recorder.callback());
  EXPECT_TRUE(test::wait_until([&] { return rig.fake->pending() == 0; }));
  rig.capture->stop();

  const auto calls = rig.recorder.calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].samples, (std::vector<float>{0.1f, 0.2f, 0.3f, 0.4f}));
  EXPECT_EQ(calls[0].frames, 2u);
  EXPECT_EQ(calls[0].rate, 48000);
  EXPECT_EQ(calls[0].channels, 2);
  EXPECT_EQ(calls[1].frames, 480u);
  EXPECT_EQ(calls[1].samples, std::vector<float>(960, 0.0f));
  EXPECT_EQ(calls[2].samples, (std::vector<float>{0.5f, 0.6f}));
  const auto counters = rig.fake->counters();
  EXPECT_EQ(counters.released_frames, (std::vector<std::uint32_t>{2, 480, 0, 1}));
}

TEST(LoopbackCapture, SilenceLargerThanTheInitialBufferIsAllZeros) {
  Rig rig;
  rig.fake->push(FakePacket::silence(5000));
  rig.capture->start(rig.recorder.callback());
  EXPECT_TRUE(test::wait_until([&] { return rig.fake->pending() == 0; }));
  rig.capture->stop();
  const auto calls = rig.recorder.calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].samples, std::vector<float>(10000, 0.0f));
}

TEST(LoopbackCapture, BorrowFailureEndsThePassButNotTheLoop) {
  Rig rig;
  rig.fake->push(FakePacket::borrow_failure());
  rig.fake->push(FakePacket::data({1.0f, 2.0f}, 2));
  rig.capture->start(rig.recorder.callback());
  EXPECT_TRUE(test::wait_until([&] { return rig.recorder.calls().size() == 1; }));
  rig.capture->stop();
  const auto counters = rig.fake->counters();
  // The failed packet was not released; the next pass took the good one.
  EXPECT_EQ(counters.released_frames, (std::vector<std::uint32_t>{1}));
  EXPECT_EQ(counters.borrows, 2);
}

TEST(LoopbackCapture, SixChannelFloatIsDeliveredAsIs) {
  Rig rig(FakeEndpointConfig{ErrorCode::Ok, ErrorCode::Ok, MixFormat{true, 48000, 6}});
  std::vector<float> samples(6 * 3);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<float>(i);
  rig.fake->push(FakePacket::data(samples, 6));
  rig.fake->push(FakePacket::silence(10, 6));
  rig.capture->start(rig.recorder.callback());
  EXPECT_TRUE(test::wait_until([&] { return rig.recorder.calls().size() == 2; }));
  rig.capture->stop();
  const auto calls = rig.recorder.calls();
  EXPECT_EQ(calls[0].samples, samples);
  EXPECT_EQ(calls[0].channels, 6);
  EXPECT_EQ(calls[1].samples, std::vector<float>(60, 0.0f));
}

TEST(LoopbackCapture, StartAndStopFollowTheThread) {
  Rig rig;
  rig.capture->stop();  // before start: harmless
  rig.capture->start(rig.recorder.callback());
  EXPECT_TRUE(test::wait_until([&] { return rig.fake->counters().starts == 1; }));
  rig.capture->stop();
  rig.capture->stop();
  const auto counters = rig.fake->counters();
  EXPECT_EQ(counters.thread_enters, 1);
  EXPECT_EQ(counters.stops, 1);
  EXPECT_EQ(counters.thread_leaves, 1);
}

TEST(LoopbackCapture, AnExceptionEndsTheThreadWithoutStoppingTheStream) {
  Rig rig;
  rig.recorder.throw_from_now_on();
  rig.fake->push(FakePacket::data({1.0f, 2.0f}, 2));
  rig.capture->start(rig.recorder.callback());
  EXPECT_TRUE(test::wait_until([&] { return rig.fake->counters().thread_leaves == 1; }));
  rig.capture->stop();
  const auto counters = rig.fake->counters();
  EXPECT_EQ(counters.starts, 1);
  EXPECT_EQ(counters.stops, 0);
  EXPECT_TRUE(counters.released_frames.empty());
}
