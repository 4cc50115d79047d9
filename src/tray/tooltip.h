#pragma once

#include <string>
#include <string_view>

// Longest tooltip, in UTF-16 units, that the notification icon can hold.
constexpr std::size_t kTooltipMaxUnits = 127;

// "Tovik — <status>" plus " (<peer>)" when the peer name is not empty, cut to
// at most 127 UTF-16 units without splitting a character. A connected stream
// that is paused shows "Paused" for the status, as the menu does. A status or
// peer name that is not UTF-8 adds nothing.
std::u16string compose_tooltip(std::string_view status_text, std::string_view peer_name,
                               bool paused = false);
