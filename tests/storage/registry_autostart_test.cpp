// The real HKCU Run value of the test's own wine prefix (or Windows account).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/platform/win/wide_string.h"
#include "storage/autostart.h"
#include "storage/platform/win/registry_autostart.h"

TEST(RegistryAutostart, TheRunValueIsTheQuotedWidePathAndOnlyItsExistenceIsAsked) {
  const wchar_t* const run_key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  // The value "Tovik" as stored: its type, then its data with the NUL they hold.
  const auto stored = [&] {
    HKEY key = nullptr;
    wchar_t data[1024] = {};
    DWORD type = 0, size = sizeof data;
    RegOpenKeyExW(HKEY_CURRENT_USER, run_key, 0, KEY_READ, &key);
    const LONG found =
        RegQueryValueExW(key, L"Tovik", nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return found ? L"-" : std::to_wstring(type) + L":" + std::wstring(data, size / 2);
  };
  RegistryAutostart entry;
  entry.remove();
  EXPECT_FALSE(autostart_enabled());
  set_autostart(true);
  set_autostart(true);
  EXPECT_TRUE(autostart_enabled());
  ASSERT_NE(running_executable_path().find("tovik_storage_tests.exe"), std::string::npos);
  EXPECT_EQ(stored(), L"1:\"" + widen(running_executable_path()) + L"\"" + L'\0');  // REG_SZ
  entry.write("C:\\Program Files\\\xE9\x9F\xB3\xE4\xB9\x90\\tovik.exe");
  EXPECT_EQ(stored(), std::wstring(L"1:\"C:\\Program Files\\\u97F3\u4E50\\tovik.exe\"") + L'\0');
  set_autostart(false);
  set_autostart(false);
  EXPECT_EQ(stored(), L"-");
  EXPECT_FALSE(autostart_enabled());
  DWORD number = 7;
  RegSetKeyValueW(HKEY_CURRENT_USER, run_key, L"Tovik", REG_DWORD, &number, sizeof number);
  EXPECT_TRUE(autostart_enabled());
  entry.remove();
}
