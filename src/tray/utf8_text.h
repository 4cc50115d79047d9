#pragma once

#include <optional>
#include <string>
#include <string_view>

// Strict UTF-8 to UTF-16: nullopt for overlong forms, surrogates, values
// above U+10FFFF, stray continuation bytes or a truncated sequence.
std::optional<std::u16string> utf8_to_utf16(std::string_view text);

// The converted text, or an empty one when `text` is not valid UTF-8; this is
// how every display string of the tray is shown.
std::u16string utf8_to_utf16_or_empty(std::string_view text);

// True when `text` is valid UTF-8 by the rules of utf8_to_utf16.
bool is_valid_utf8(std::string_view text);
