#include "storage/flat_json.h"

#include <gtest/gtest.h>

#include <string>

// The readers are pattern searches, not a parser: these pin what the files of
// earlier versions and hand-edited files give.
TEST(FlatJsonReaders, FallbacksAndWhatTheWritersWrite) {
  for (const std::string text : {"", "{}"}) {
    EXPECT_EQ(json_get_string(text, "quality"), "");
    EXPECT_TRUE(json_get_bool(text, "flag", true));
    EXPECT_FALSE(json_get_bool(text, "flag", false));
    EXPECT_EQ(json_get_int64(text, "timestamp"), 0);
  }
  const std::string text = "{" + json_string_field("s", "value") + "," +
                           json_bool_field("b", true) + ",\"n\":1700000000}";
  EXPECT_EQ(text, R"({"s":"value","b":true,"n":1700000000})");
  EXPECT_EQ(json_get_string(text, "s"), "value");
  EXPECT_TRUE(json_get_bool(text, "b", false));
  EXPECT_EQ(json_get_int64(text, "n"), 1700000000);
  // A space before the colon hides the key; after it, only bool and integer skip spaces.
  EXPECT_EQ(json_get_string(R"({"s" :"v"})", "s"), "");
  EXPECT_FALSE(json_get_bool(R"({"b" :true})", "b", false));
  EXPECT_EQ(json_get_int64(R"({"n" :5})", "n"), 0);
  EXPECT_EQ(json_get_string(R"({"s": "v"})", "s"), "");
  EXPECT_TRUE(json_get_bool(R"({"b":   true})", "b", false));
  EXPECT_FALSE(json_get_bool("{\"b\":\ttrue}", "b", false));
}

TEST(FlatJsonReaders, BooleansAndIntegersFollowTheirConversions) {
  const struct {
    const char* text;
    bool fallback, value;
  } bools[] = {
      {R"({"b":trueish})", false, true}, {R"({"b":falsehood})", true, false},
      {R"({"b":TRUE})", false, false},   {R"({"b":FALSE})", true, true},
      {R"({"b":1})", true, true},        {R"({"b":tru)", true, true},
      {R"({"b":)", false, false},
  };
  for (const auto& c : bools) EXPECT_EQ(json_get_bool(c.text, "b", c.fallback), c.value) << c.text;
  const std::pair<const char*, std::int64_t> ints[] = {
      {R"({"n":-12,"x":1})", -12},
      {R"({"n":,"x":1})", 0},
      {R"({"n":99999999999999999999})", 0},
      {R"({"n":9223372036854775807})", INT64_MAX},
      {R"({"n":-9223372036854775808})", INT64_MIN},
      {R"({"n":-9223372036854775809})", 0},
      {R"({"n":+7})", 7},
      {"{\"n\":\n  \t 8}", 8},  // the conversion's own leading white space
      {R"({"n":"5"})", 0},
      {R"({"n":   )", 0},
      {R"({"n":12.9})", 12},
      {R"({"xn":5})", 0},  // the tail of a longer key does not match
  };
  for (const auto& [text, value] : ints) EXPECT_EQ(json_get_int64(text, "n"), value) << text;
}

TEST(FlatJsonReaders, StringsEndAtTheFirstQuoteAndTheFirstFullPatternWins) {
  const std::pair<const char*, const char*> strings[] = {
      {R"({"name":"say "id":"fake" now","id":"real"})", "fake"},
      {R"({"name":"x\"id\":\"fake","id":"real"})", "real"},  // a backslash breaks the pattern
      {R"({"device_id":"a"})", ""},
      {R"({"id":"a\"b"})", "a\\"},
      {R"({"id":"unterminated)", ""},
      {R"({"id":")", ""},
      {"{\"id\":\"multi\nline\"}", "multi\nline"},
  };
  for (const auto& [text, value] : strings) EXPECT_EQ(json_get_string(text, "id"), value) << text;
}
