#include "storage/settings.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

// settings.json as stored (none at first, and no folder) and as the next save
// writes it back (null: unchanged).
TEST(Settings, AreReadKeyByKeyAndWrittenByteForByte) {
  test::AppDataScope app_data(/*create_tovik_folder=*/false);
  const std::string path = app_data.tovik_path("settings.json"), end = test::text_line_end();
  const char* const defaults =
      R"({"quality":"auto","start_with_windows":false,"smart_volume":false})";
  const std::pair<const char*, const char*> cases[] = {
      {nullptr, defaults},
      {R"({"quality":"low","start_with_windows":true,"smart_volume":true})", nullptr},
      {R"({"quality":"high","start_with_windows":false,"smart_volume":true})", nullptr},
      {R"({"quality":"medium","start_with_windows":true,"smart_volume":false})", nullptr},
      // Whole lower-case texts; the string reader skips no spaces, the others
      // skip them after the colon; a boolean is read by its first letters.
      {R"({"quality":"High","start_with_windows":   trueish,"smart_volume":TRUE})",
       R"({"quality":"auto","start_with_windows":true,"smart_volume":false})"},
      {R"({ "quality": "low","smart_volume" :true,"start_with_windows":1})", defaults},
      {"{\"quality\":\"low \",\"smart_volume\":\ttrue}\x01\xff{{{", defaults},
  };
  for (const auto& [stored, saved] : cases) {
    if (stored) test::write_file_bytes(path, stored);
    save_settings(load_settings());
    EXPECT_EQ(test::read_file_bytes(path), (saved ? saved : stored) + end) << stored;
  }
  save_settings({static_cast<AudioQuality>(9), false, false});
  EXPECT_EQ(test::read_file_bytes(path), defaults + end);
  std::string rates;
  for (int q = 0; q < 5; ++q) rates += std::to_string(quality_bitrate(AudioQuality(q))) + " ";
  EXPECT_EQ(rates, "0 256000 128000 64000 0 ");
}
