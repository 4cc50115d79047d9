#include <gtest/gtest.h>

#include <algorithm>

#include "engine/loopback_capture.h"
#include "support/test_support.h"

TEST(PulseEndpoint, NoServerMeansNoAudioDeviceAndOneDebugLine) {
  test::AppDataScope app_data;
  test::TempDir dir;
  test::ScopedEnv server("PULSE_SERVER", "unix:" + dir.path() + "/no-such-socket");
  EXPECT_EQ(LoopbackCapture::create().code, ErrorCode::NoAudioDevice);
  const auto log = test::read_file_bytes(app_data.tovik_path("debug.log"));
  ASSERT_TRUE(log);
  EXPECT_EQ(log->rfind("pulse: connect: ", 0), 0u) << *log;
  EXPECT_EQ(std::count(log->begin(), log->end(), '\n'), 1);
}
