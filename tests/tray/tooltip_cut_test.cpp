#include <gtest/gtest.h>

#include "tray/tooltip.h"

// Cut at 127 units, but never between the two halves of a character that
// needs a surrogate pair: the 127th unit would otherwise be half of one.
TEST(TooltipCut, NeverSplitsASurrogatePair) {
  const std::string emoji = "\xF0\x9F\x8E\xB5";  // U+1F3B5, two UTF-16 units
  for (std::size_t ascii = 0; ascii < 4; ++ascii) {
    std::string peer(ascii, 'a');
    for (int i = 0; i < 70; ++i) peer += emoji;
    const std::u16string tip = compose_tooltip("Connected", peer);
    ASSERT_GE(tip.size(), 126u);
    ASSERT_LE(tip.size(), 127u);
    EXPECT_FALSE(tip.back() >= 0xD800 && tip.back() <= 0xDBFF) << ascii;
  }
  EXPECT_EQ(compose_tooltip("Searching...", "", true), u"Tovik \u2014 Searching...");
}
