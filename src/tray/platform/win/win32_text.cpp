#include "tray/platform/win/win32_text.h"

#include <windows.h>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Win32 wide strings are UTF-16");

std::wstring utf8_to_wide(std::string_view text) {
  if (text.empty() || text.size() > 0x7fffffff) return {};
  const int length = static_cast<int>(text.size());
  const int units =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (units <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(), units);
  return wide;
}

std::wstring to_wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }
