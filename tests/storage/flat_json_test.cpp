#include "storage/flat_json.h"

#include <gtest/gtest.h>

#include <string>

TEST(FlatJsonWriters, BuildMembersWithoutEscaping) {
  EXPECT_EQ(json_string_field("quality", "high"), "\"quality\":\"high\"");
  EXPECT_EQ(json_string_field("name", "a\"b\\c"), "\"name\":\"a\"b\\c\"");
  EXPECT_EQ(json_string_field("id", ""), "\"id\":\"\"");
  EXPECT_EQ(json_bool_field("smart_volume", true), "\"smart_volume\":true");
  EXPECT_EQ(json_bool_field("smart_volume", false), "\"smart_volume\":false");
}

TEST(FlatJsonReaders, EmptyTextOrEmptyObjectGivesFallbacks) {
  for (const std::string text : {"", "{}"}) {
    EXPECT_EQ(json_get_string(text, "quality"), "");
    EXPECT_TRUE(json_get_bool(text, "flag", true));
    EXPECT_FALSE(json_get_bool(text, "flag", false));
    EXPECT_EQ(json_get_int64(text, "timestamp"), 0);
  }
}

TEST(FlatJsonReaders, ReadWhatTheWritersWrite) {
  std::string text = "{" + json_string_field("s", "value") + "," + json_bool_field("b", true) +
                     ",\"n\":1700000000}";
  EXPECT_EQ(json_get_string(text, "s"), "value");
  EXPECT_TRUE(json_get_bool(text, "b", false));
  EXPECT_EQ(json_get_int64(text, "n"), 1700000000);
}

TEST(FlatJsonReaders, SpaceBeforeTheColonHidesTheKeyFromEveryReader) {
  std::string text = R"({"s" :"v","b" :true,"n" :5})";
  EXPECT_EQ(json_get_string(text, "s"), "");
  EXPECT_FALSE(json_get_bool(text, "b", false));
  EXPECT_EQ(json_get_int64(text, "n"), 0);
}

TEST(FlatJsonReaders, SpacesAfterTheColonAreSkippedOnlyForBoolAndInteger) {
  std::string text = R"({"s": "v","b":   true,"n":   42})";
  EXPECT_EQ(json_get_string(text, "s"), "");
  EXPECT_TRUE(json_get_bool(text, "b", false));
  EXPECT_EQ(json_get_int64(text, "n"), 42);
  // Only 0x20 is skipped by the bool reader.
  EXPECT_FALSE(json_get_bool("{\"b\":\ttrue}", "b", false));
}

TEST(FlatJsonReaders, BooleanWordsAreMatchedByPrefixAndCase) {
  EXPECT_TRUE(json_get_bool(R"({"b":trueish})", "b", false));
  EXPECT_FALSE(json_get_bool(R"({"b":falsehood})", "b", true));
  EXPECT_FALSE(json_get_bool(R"({"b":TRUE})", "b", false));
  EXPECT_TRUE(json_get_bool(R"({"b":FALSE})", "b", true));
  EXPECT_TRUE(json_get_bool(R"({"b":1})", "b", true));
  EXPECT_TRUE(json_get_bool(R"({"b":tru)", "b", true));
  EXPECT_FALSE(json_get_bool(R"({"b":)", "b", false));
}

TEST(FlatJsonReaders, IntegersFollowTheDecimalConversion) {
  EXPECT_EQ(json_get_int64(R"({"n":-12,"x":1})", "n"), -12);
  EXPECT_EQ(json_get_int64(R"({"n":,"x":1})", "n"), 0);
  EXPECT_EQ(json_get_int64(R"({"n":99999999999999999999})", "n"), 0);
  EXPECT_EQ(json_get_int64(R"({"n":9223372036854775807})", "n"), INT64_MAX);
  EXPECT_EQ(json_get_int64(R"({"n":-9223372036854775808})", "n"), INT64_MIN);
  EXPECT_EQ(json_get_int64(R"({"n":-9223372036854775809})", "n"), 0);
  EXPECT_EQ(json_get_int64(R"({"n":+7})", "n"), 7);
  EXPECT_EQ(json_get_int64("{\"n\":\n  \t 8}", "n"), 8);  // leading white space of the conversion
  EXPECT_EQ(json_get_int64(R"({"n":"5"})", "n"), 0);
  EXPECT_EQ(json_get_int64(R"({"n":)", "n"), 0);
  EXPECT_EQ(json_get_int64(R"({"n":   )", "n"), 0);
  EXPECT_EQ(json_get_int64(R"({"n":12.9})", "n"), 12);
}

TEST(FlatJsonReaders, FirstFullPatternWinsWhereverItStands) {
  // The pattern of "id" first occurs inside the name's value...
  std::string plain = R"({"name":"say "id":"fake" now","id":"real"})";
  EXPECT_EQ(json_get_string(plain, "id"), "fake");
  // ...but a backslash before a quote breaks the pattern, as it is just a byte.
  std::string escaped = R"({"name":"x\"id\":\"fake","id":"real"})";
  EXPECT_EQ(json_get_string(escaped, "id"), "real");
  // A key that is only the tail of a longer key does not match.
  EXPECT_EQ(json_get_string(R"({"device_id":"a"})", "id"), "");
  EXPECT_EQ(json_get_int64(R"({"xtimestamp":5})", "timestamp"), 0);
}

TEST(FlatJsonReaders, StringValuesEndAtTheFirstQuoteWithoutEscapes) {
  EXPECT_EQ(json_get_string(R"({"s":"a\"b"})", "s"), "a\\");
  EXPECT_EQ(json_get_string(R"({"s":"unterminated)", "s"), "");
  EXPECT_EQ(json_get_string(R"({"s":")", "s"), "");
  EXPECT_EQ(json_get_string(R"({"s":""})", "s"), "");
  EXPECT_EQ(json_get_string("{\"s\":\"multi\nline\"}", "s"), "multi\nline");
}
