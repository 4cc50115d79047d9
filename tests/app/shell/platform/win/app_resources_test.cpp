// The program's resources as the system reads them: icon 101 with its four
// sizes and the version information.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

#pragma pack(push, 2)
struct GroupIconEntry {  // one image of an RT_GROUP_ICON directory
  BYTE width;
  BYTE height;
  BYTE color_count;
  BYTE reserved;
  WORD planes;
  WORD bit_count;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

std::vector<GroupIconEntry> group_icon_entries(WORD id) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
  if (found == nullptr) return {};
  const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  WORD count = 0;
  std::memcpy(&count, bytes + 4, sizeof count);
  std::vector<GroupIconEntry> entries(count);
  std::memcpy(entries.data(), bytes + 6, count * sizeof(GroupIconEntry));
  return entries;
}

std::wstring version_string(const std::vector<BYTE>& info, const wchar_t* name) {
  std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(info.data(), path.c_str(), &value, &length) || length == 0) return L"";
  return std::wstring(static_cast<const wchar_t*>(value));
}

std::vector<BYTE> own_version_info() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  std::vector<BYTE> info(size);
  if (size == 0 || !GetFileVersionInfoW(path, 0, size, info.data())) info.clear();
  return info;
}

std::wstring widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

}  // namespace

TEST(AppResources, IconLoadsAsResource101) {
  HICON icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(101));
  ASSERT_NE(icon, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  EXPECT_TRUE(info.fIcon);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
}

TEST(AppResources, IconHoldsFourTrueColourSizes) {
  const std::vector<GroupIconEntry> entries = group_icon_entries(101);
  ASSERT_EQ(entries.size(), 4u);
  std::set<int> sizes;
  for (const GroupIconEntry& e : entries) {
    const int width = e.width == 0 ? 256 : e.width;  // 0 stands for 256
    const int height = e.height == 0 ? 256 : e.height;
    EXPECT_EQ(width, height);
    EXPECT_EQ(e.bit_count, 32) << width << " px";
    sizes.insert(width);
  }
  EXPECT_EQ(sizes, (std::set<int>{16, 32, 48, 256}));
}

TEST(AppResources, VersionInformationNamesTheProductAndItsVersion) {
  const std::vector<BYTE> info = own_version_info();
  ASSERT_FALSE(info.empty());
  EXPECT_EQ(version_string(info, L"ProductName"), L"Tovik");
  EXPECT_EQ(version_string(info, L"ProductVersion"), widen(TOVIK_VERSION_TEXT));
  EXPECT_EQ(version_string(info, L"FileVersion"), widen(TOVIK_VERSION_TEXT));
  EXPECT_EQ(version_string(info, L"OriginalFilename"), L"tovik.exe");

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  const std::string text = TOVIK_VERSION_TEXT;
  const std::string composed = std::to_string(HIWORD(fixed->dwProductVersionMS)) + "." +
                               std::to_string(LOWORD(fixed->dwProductVersionMS)) + "." +
                               std::to_string(HIWORD(fixed->dwProductVersionLS));
  EXPECT_EQ(composed, text);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}
