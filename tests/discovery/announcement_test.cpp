#include "discovery/announcement.h"

#include <gtest/gtest.h>

#include <string>

namespace {

AnnouncementParse parse(const std::string& text, Announcement* out) {
  return parse_announcement(text.data(), text.size(), out);
}

// The parsed fields, or a marker naming why the text was refused.
std::string fields(const std::string& text) {
  Announcement a;
  switch (parse(text, &a)) {
    case AnnouncementParse::NotTovik:
      return "<not tovik>";
    case AnnouncementParse::Malformed:
      return "<malformed>";
    case AnnouncementParse::Ok:
      break;
  }
  return a.name + "/" + std::to_string(a.port) + "/" + a.id;
}

TEST(BuildAnnouncement, LaysOutPrefixNamePortAndId) {
  const std::string text = build_announcement("Tovik PC", 19483, "0123abcd");
  EXPECT_EQ(text.substr(0, 21), "TOVIK|Tovik PC|19483|");
  EXPECT_EQ(text, "TOVIK|Tovik PC|19483|0123abcd");
  EXPECT_EQ(build_announcement("", 19483, "id"), "TOVIK||19483|id");
  EXPECT_EQ(build_announcement("n", 19483, ""), "TOVIK|n|19483|");
  EXPECT_EQ(build_announcement("a|b", 1, "c"), "TOVIK|a|b|1|c");
  EXPECT_EQ(build_announcement("n", 0, "i"), "TOVIK|n|0|i");
  EXPECT_EQ(build_announcement("n", 65535, "i"), "TOVIK|n|65535|i");
  EXPECT_EQ(build_announcement(std::string(600, 'x'), 7, "i").size(), 6u + 600 + 1 + 1 + 1 + 1);
}

TEST(ParseAnnouncement, SplitsAtTheFirstTwoSeparators) {
  EXPECT_EQ(fields("TOVIK|Living Room|19483|abc"), "Living Room/19483/abc");
  EXPECT_EQ(fields("TOVIK||19483|"), "/19483/");
  EXPECT_EQ(fields("TOVIK|x|1|id|with|bars"), "x/1/id|with|bars");
  // A name holding the separator shifts the fields; the port text is then "b".
  EXPECT_EQ(fields("TOVIK|a|b|19483|c"), "<malformed>");
  EXPECT_EQ(fields("TOVIK|a|7|19483|c"), "a/7/19483|c");
}

TEST(ParseAnnouncement, RoundTripsWhatTheBroadcasterBuilds) {
  const std::string id("i\0d", 3);
  const std::string text = build_announcement("Küche", 19483, id);
  Announcement a;
  ASSERT_EQ(parse(text, &a), AnnouncementParse::Ok);
  EXPECT_EQ(a.name, "Küche");
  EXPECT_EQ(a.port, 19483);
  EXPECT_EQ(a.id, id);
}

TEST(ParseAnnouncement, DropsMissingSeparatorsAndPortsWithoutDigits) {
  EXPECT_EQ(fields("TOVIK|x"), "<malformed>");
  EXPECT_EQ(fields("TOVIK|x|19483"), "<malformed>");
  EXPECT_EQ(fields("TOVIK|"), "<malformed>");
  EXPECT_EQ(fields("TOVIK|x|abc|id"), "<malformed>");
  EXPECT_EQ(fields("TOVIK|x||id"), "<malformed>");
  EXPECT_EQ(fields("TOVIK|x|-|id"), "<malformed>");
  EXPECT_EQ(fields("TOVIK|x| |id"), "<malformed>");
}

TEST(ParseAnnouncement, RefusesTextWithoutThePrefix) {
  EXPECT_EQ(fields(""), "<not tovik>");
  EXPECT_EQ(fields("TOVIK"), "<not tovik>");
  EXPECT_EQ(fields("tovik|x|1|y"), "<not tovik>");
  EXPECT_EQ(fields("TOVIKx|1|y"), "<not tovik>");
  EXPECT_EQ(fields(std::string("HELLO\0\x01", 7)), "<not tovik>");
}

TEST(ParseAnnouncement, ConvertsThePortLikeA32BitStrtolCutTo16Bits) {
  EXPECT_EQ(fields("TOVIK|x|19483abc|id"), "x/19483/id");
  EXPECT_EQ(fields("TOVIK|x| 19483|id"), "x/19483/id");
  EXPECT_EQ(fields("TOVIK|x|\t\n\v\f\r+5|id"), "x/5/id");
  EXPECT_EQ(fields("TOVIK|x|65536|id"), "x/0/id");
  EXPECT_EQ(fields("TOVIK|x|-1|id"), "x/65535/id");
  EXPECT_EQ(fields("TOVIK|x|65535|id"), "x/65535/id");
  EXPECT_EQ(fields("TOVIK|x|0|id"), "x/0/id");
  EXPECT_EQ(fields("TOVIK|x|00019483|id"), "x/19483/id");
  EXPECT_EQ(fields("TOVIK|x|2147483647|id"), "x/65535/id");
  EXPECT_EQ(fields("TOVIK|x|-2147483648|id"), "x/0/id");
  EXPECT_EQ(fields("TOVIK|x|2147483648|id"), "<malformed>");
  EXPECT_EQ(fields("TOVIK|x|-2147483649|id"), "<malformed>");
  EXPECT_EQ(fields("TOVIK|x|99999999999999999999|id"), "<malformed>");
  EXPECT_EQ(fields("TOVIK|x|+-5|id"), "<malformed>");
  EXPECT_EQ(fields("TOVIK|x|5 6|id"), "x/5/id");
}

TEST(ParseDecimalInt32, FollowsStrtolWithin32Bits) {
  EXPECT_EQ(parse_decimal_int32("42"), 42);
  EXPECT_EQ(parse_decimal_int32("  -42x"), -42);
  EXPECT_EQ(parse_decimal_int32(std::string("7\0"
                                            "8",
                                            3)),
            7);
  EXPECT_FALSE(parse_decimal_int32(""));
  EXPECT_FALSE(parse_decimal_int32("x1"));
  EXPECT_FALSE(parse_decimal_int32("- 1"));
}

TEST(LogRate, LogsFirstThreeThenEveryNth) {
  for (int count : {1, 2, 3, 30, 60, 90}) EXPECT_TRUE(is_logged_occurrence(count, 30)) << count;
  for (int count : {4, 29, 31, 59, 61}) EXPECT_FALSE(is_logged_occurrence(count, 30)) << count;
  for (int count : {1, 2, 3, 60, 120}) EXPECT_TRUE(is_logged_occurrence(count, 60)) << count;
  for (int count : {4, 30, 59, 61}) EXPECT_FALSE(is_logged_occurrence(count, 60)) << count;
}

}  // namespace
