// The COM glue of the default-device watch: which notifications reach the
// capture thread, and that they wake it.
#include <gtest/gtest.h>

#include "engine/platform/win/device_watch.h"

TEST(DeviceWatch, PassesOnTheConsoleDefaultOfItsFlowAndTheLossOfItsDevice) {
  DeviceWatch* watch = new DeviceWatch(eRender);
  watch->set_current("{0.0.0.00000000}.{a}");
  watch->OnDefaultDeviceChanged(eRender, eMultimedia, L"{b}");
  watch->OnDefaultDeviceChanged(eCapture, eConsole, L"{b}");
  watch->OnDeviceStateChanged(L"{b}", DEVICE_STATE_UNPLUGGED);
  EXPECT_FALSE(watch->take_change());
  EXPECT_EQ(WaitForSingleObject(watch->wake_event(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

  watch->OnDefaultDeviceChanged(eRender, eConsole, L"{b}");
  EXPECT_EQ(WaitForSingleObject(watch->wake_event(), 0), WAIT_OBJECT_0);
  EXPECT_TRUE(watch->take_change());
  EXPECT_FALSE(watch->take_change());
  watch->OnDeviceRemoved(L"{0.0.0.00000000}.{a}");
  EXPECT_TRUE(watch->take_change());
  watch->OnDefaultDeviceChanged(eRender, eConsole, nullptr);  // no default left
  EXPECT_TRUE(watch->take_change());

  IMMNotificationClient* client = nullptr;
  ASSERT_EQ(
      watch->QueryInterface(__uuidof(IMMNotificationClient), reinterpret_cast<void**>(&client)),
      S_OK);
  EXPECT_EQ(client->Release(), 1u);
  EXPECT_EQ(watch->Release(), 0u);
}
