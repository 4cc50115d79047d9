// The program's resources as the system reads them: icon 101 with its four
// sizes and the version texts.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

TEST(AppResources, IconHoldsFourTrueColourSizesAndTheVersionNamesTheProgram) {
  HMODULE module = GetModuleHandleW(nullptr);
  ASSERT_NE(LoadIconW(module, MAKEINTRESOURCEW(101)), nullptr);
  // The group directory: a count at byte 4, then 14-byte entries: width,
  // height (0 stands for 256), ..., the bit count at byte 6.
  const auto* group = static_cast<const BYTE*>(LockResource(
      LoadResource(module, FindResourceW(module, MAKEINTRESOURCEW(101), MAKEINTRESOURCEW(14)))));
  std::wstring found;
  for (const BYTE* entry = group + 6; entry < group + 6 + 14 * group[4]; entry += 14) {
    found += std::to_wstring(entry[0] ? entry[0] : 256) + L"x" +
             std::to_wstring(entry[1] ? entry[1] : 256) + L"x" + std::to_wstring(entry[6]) + L" ";
  }
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::string info(GetFileVersionInfoSizeW(path, nullptr), '\0');
  ASSERT_TRUE(GetFileVersionInfoW(path, 0, static_cast<DWORD>(info.size()), &info[0]));
  void* value = nullptr;
  UINT length = 0;
  for (const wchar_t* name :
       {L"ProductName", L"ProductVersion", L"FileVersion", L"OriginalFilename"}) {
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    const bool has = VerQueryValueW(info.data(), key.c_str(), &value, &length);
    found += (has ? static_cast<wchar_t*>(value) : L"?") + std::wstring(L" ");
  }
  const std::string text = TOVIK_VERSION_TEXT;
  const std::wstring v(text.begin(), text.end());
  EXPECT_EQ(found, L"16x16x32 32x32x32 48x48x32 256x256x32 Tovik " + v + L" " + v + L" tovik.exe ");
}
