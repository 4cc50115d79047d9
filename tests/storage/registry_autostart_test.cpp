// The real HKCU Run value of the test's own wine prefix (or Windows account).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "storage/autostart.h"
#include "storage/platform/win/registry_autostart.h"

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

struct RawValue {
  bool found = false;
  DWORD type = 0;
  std::string bytes;  // as stored, including the terminating NUL
};

RawValue read_raw_value() {
  RawValue value;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
  char data[1024] = {};
  DWORD size = sizeof data;
  if (RegQueryValueExA(key, "Tovik", nullptr, &value.type, reinterpret_cast<BYTE*>(data), &size) ==
      ERROR_SUCCESS) {
    value.found = true;
    value.bytes.assign(data, size);
  }
  RegCloseKey(key);
  return value;
}

// Each test starts and ends without the value.
class RegistryAutostartTest : public ::testing::Test {
 protected:
  void SetUp() override { RegistryAutostart().remove(); }
  void TearDown() override { RegistryAutostart().remove(); }
};

}  // namespace

TEST_F(RegistryAutostartTest, EnableTwiceLeavesOneQuotedValue) {
  EXPECT_FALSE(autostart_enabled());
  set_autostart(true);
  set_autostart(true);
  EXPECT_TRUE(autostart_enabled());
  RawValue value = read_raw_value();
  ASSERT_TRUE(value.found);
  EXPECT_EQ(value.type, static_cast<DWORD>(REG_SZ));
  std::string expected = "\"" + running_executable_path() + "\"";
  EXPECT_EQ(value.bytes, expected + std::string(1, '\0'));
}

TEST_F(RegistryAutostartTest, DisableRemovesAndDisablingAgainIsHarmless) {
  set_autostart(true);
  set_autostart(false);
  EXPECT_FALSE(autostart_enabled());
  EXPECT_FALSE(read_raw_value().found);
  set_autostart(false);
  EXPECT_FALSE(autostart_enabled());
}

TEST_F(RegistryAutostartTest, APathWithSpacesIsStoredBetweenQuotes) {
  RegistryAutostart entry;
  entry.write("C:\\Program Files\\Tovik\\Tovik.exe");
  RawValue value = read_raw_value();
  EXPECT_EQ(value.bytes, std::string("\"C:\\Program Files\\Tovik\\Tovik.exe\"") + '\0');
  EXPECT_EQ(registry_autostart_data("C:\\a b.exe"), "\"C:\\a b.exe\"");
}

TEST_F(RegistryAutostartTest, QueryIgnoresTypeAndData) {
  HKEY key = nullptr;
  ASSERT_EQ(
      RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
      ERROR_SUCCESS);
  DWORD number = 7;
  RegSetValueExA(key, "Tovik", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
  RegCloseKey(key);
  EXPECT_TRUE(autostart_enabled());
}
