#include "tray/utf8_text.h"

#include <cstdint>

namespace {

// Decodes one code point at `pos`, advancing it; false on invalid input.
bool decode_one(std::string_view text, std::size_t& pos, std::uint32_t& out) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  int extra = 0;
  std::uint32_t min = 0;
  if (lead < 0x80) {
    out = lead;
    ++pos;
    return true;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, min = 0x80, out = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, min = 0x800, out = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, min = 0x10000, out = lead & 0x07u;
  } else {
    return false;
  }
  if (text.size() - pos <= static_cast<std::size_t>(extra)) return false;
  for (int i = 1; i <= extra; ++i) {
    const auto c = static_cast<unsigned char>(text[pos + static_cast<std::size_t>(i)]);
    if ((c & 0xC0) != 0x80) return false;
    out = (out << 6) | (c & 0x3Fu);
  }
  pos += static_cast<std::size_t>(extra) + 1;
  return out >= min && out <= 0x10FFFF && (out < 0xD800 || out > 0xDFFF);
}

}  // namespace

std::optional<std::u16string> utf8_to_utf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::uint32_t cp = 0;
    if (!decode_one(text, pos, cp)) return std::nullopt;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::u16string utf8_to_utf16_or_empty(std::string_view text) {
  auto converted = utf8_to_utf16(text);
  return converted ? *converted : std::u16string();
}

bool is_valid_utf8(std::string_view text) { return utf8_to_utf16(text).has_value(); }
