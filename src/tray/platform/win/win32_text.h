#pragma once

#include <string>
#include <string_view>

// UTF-8 to UTF-16 with the system converter (CP_UTF8); text the converter
// rejects becomes empty, as every display string of the tray does.
std::wstring utf8_to_wide(std::string_view text);

// The tray's UTF-16 strings as the wide strings Win32 takes (the same units).
std::wstring to_wide(const std::u16string& text);
