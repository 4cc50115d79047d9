#include "tray/tooltip.h"

#include "tray/utf8_text.h"

namespace {

bool is_high_surrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

}  // namespace

std::u16string compose_tooltip(std::string_view status_text, std::string_view peer_name,
                               bool paused) {
  std::u16string text = u"Tovik \u2014 ";
  text += paused && status_text == "Connected" ? u"Paused" : utf8_to_utf16_or_empty(status_text);
  if (!peer_name.empty()) {
    text += u" (";
    text += utf8_to_utf16_or_empty(peer_name);
    text += u")";
  }
  if (text.size() > kTooltipMaxUnits) {
    // Half a surrogate pair would show as a broken character.
    text.resize(is_high_surrogate(text[kTooltipMaxUnits - 1]) ? kTooltipMaxUnits - 1
                                                              : kTooltipMaxUnits);
  }
  return text;
}
