#include "discovery/announcement.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The parsed fields, or a marker naming why the text was refused.
std::string fields(const std::string& text) {
  Announcement a;
  switch (parse_announcement(text.data(), text.size(), &a)) {
    case AnnouncementParse::NotTovik:
      return "<not tovik>";
    case AnnouncementParse::Malformed:
      return "<malformed>";
    default:
      return a.name + "/" + std::to_string(a.port) + "/" + a.id;
  }
}

}  // namespace

TEST(Announcement, IsPrefixNamePortAndIdAndParsesLikeTheFirstTwoSeparatorsAndStrtolSay) {
  EXPECT_EQ(build_announcement("Tovik PC", 19483, "0123abcd"), "TOVIK|Tovik PC|19483|0123abcd");
  EXPECT_EQ(build_announcement("", 0, ""), "TOVIK||0|");
  const std::pair<std::string, const char*> cases[] = {
      {"TOVIK|Living Room|19483|abc", "Living Room/19483/abc"},
      {"TOVIK|Küche|1|i d", "Küche/1/i d"},
      {"TOVIK||19483|", "/19483/"},
      {"TOVIK|x|1|id|with|bars", "x/1/id|with|bars"},
      {"TOVIK|a|b|19483|c", "<malformed>"},  // a name with the separator shifts the port
      {"TOVIK|x|19483", "<malformed>"},
      {"TOVIK|x||id", "<malformed>"},
      {"", "<not tovik>"},
      {"tovik|x|1|y", "<not tovik>"},
      {"TOVIKx|1|y", "<not tovik>"},
      // The port: a 32-bit strtol, cut to 16 bits.
      {"TOVIK|x|19483abc|id", "x/19483/id"},
      {"TOVIK|x|\t\n\v\f\r+5|id", "x/5/id"},
      {"TOVIK|x|65536|id", "x/0/id"},
      {"TOVIK|x|-1|id", "x/65535/id"},
      {"TOVIK|x|2147483647|id", "x/65535/id"},
      {"TOVIK|x|-2147483648|id", "x/0/id"},
      {"TOVIK|x|2147483648|id", "<malformed>"},
      {"TOVIK|x|-2147483649|id", "<malformed>"},
      {std::string("TOVIK|x|7\0"
                   "8|id",
                   14),
       "x/7/id"},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(fields(text), expected) << text;
}
