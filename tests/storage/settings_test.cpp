#include "storage/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "storage/storage_dir.h"
#include "support/test_support.h"

namespace {

std::string line(const std::string& text) { return text + test::text_line_end(); }

}  // namespace

TEST(Settings, QualityTextsAndBitrates) {
  EXPECT_STREQ(quality_text(AudioQuality::Auto), "auto");
  EXPECT_STREQ(quality_text(AudioQuality::High), "high");
  EXPECT_STREQ(quality_text(AudioQuality::Medium), "medium");
  EXPECT_STREQ(quality_text(AudioQuality::Low), "low");
  EXPECT_STREQ(quality_text(static_cast<AudioQuality>(7)), "auto");
  EXPECT_STREQ(quality_text(static_cast<AudioQuality>(-1)), "auto");
  EXPECT_EQ(quality_from_text("medium"), AudioQuality::Medium);
  EXPECT_EQ(quality_from_text("High"), AudioQuality::Auto);
  EXPECT_EQ(quality_from_text("low "), AudioQuality::Auto);
  EXPECT_EQ(quality_from_text(""), AudioQuality::Auto);
  EXPECT_EQ(quality_bitrate(AudioQuality::High), 256000);
  EXPECT_EQ(quality_bitrate(AudioQuality::Medium), 128000);
  EXPECT_EQ(quality_bitrate(AudioQuality::Low), 64000);
  EXPECT_EQ(quality_bitrate(AudioQuality::Auto), 0);
  EXPECT_EQ(quality_bitrate(static_cast<AudioQuality>(4)), 0);
}

TEST(Settings, FormatIsOneLineWithTheMembersInOrder) {
  EXPECT_EQ(format_settings(AppSettings{}),
            "{\"quality\":\"auto\",\"start_with_windows\":false,\"smart_volume\":false}\n");
  AppSettings settings{AudioQuality::High, true, false};
  EXPECT_EQ(format_settings(settings),
            "{\"quality\":\"high\",\"start_with_windows\":true,\"smart_volume\":false}\n");
  settings.quality = static_cast<AudioQuality>(9);
  EXPECT_EQ(format_settings(settings).substr(0, 19), "{\"quality\":\"auto\",\"");
}

TEST(Settings, SavingTheDefaultsWritesExactBytes) {
  test::AppDataScope app_data(/*create_tovik_folder=*/false);
  save_settings(AppSettings{});
  EXPECT_EQ(test::read_file_bytes(app_data.tovik_path("settings.json")),
            line(R"({"quality":"auto","start_with_windows":false,"smart_volume":false})"));
  EXPECT_FALSE(test::file_exists(app_data.tovik_path("settings.json.tmp")));
}

TEST(Settings, SaveThenLoadRoundTripsEveryCombination) {
  test::AppDataScope app_data;
  for (int q = 0; q < 4; ++q) {
    for (int flags = 0; flags < 4; ++flags) {
      AppSettings saved{static_cast<AudioQuality>(q), (flags & 1) != 0, (flags & 2) != 0};
      save_settings(saved);
      AppSettings loaded = load_settings();
      EXPECT_EQ(loaded.quality, saved.quality);
      EXPECT_EQ(loaded.start_with_windows, saved.start_with_windows);
      EXPECT_EQ(loaded.smart_volume, saved.smart_volume);
    }
  }
}

TEST(Settings, LoadsTheExampleFile) {
  test::AppDataScope app_data;
  test::write_file_bytes(
      app_data.tovik_path("settings.json"),
      line(R"({"quality":"low","start_with_windows":true,"smart_volume":true})"));
  AppSettings settings = load_settings();
  EXPECT_EQ(settings.quality, AudioQuality::Low);
  EXPECT_TRUE(settings.start_with_windows);
  EXPECT_TRUE(settings.smart_volume);
}

TEST(Settings, CapitalisedQualityLoadsAsAutoAndIsSavedAsAuto) {
  test::AppDataScope app_data;
  const std::string path = app_data.tovik_path("settings.json");
  test::write_file_bytes(path,
                         R"({"quality":"High","start_with_windows":false,"smart_volume":true})");
  AppSettings settings = load_settings();
  EXPECT_EQ(settings.quality, AudioQuality::Auto);
  EXPECT_TRUE(settings.smart_volume);
  save_settings(settings);
  EXPECT_EQ(test::read_file_bytes(path),
            line(R"({"quality":"auto","start_with_windows":false,"smart_volume":true})"));
}

TEST(Settings, MissingOrMalformedContentFallsBackKeyByKey) {
  EXPECT_EQ(parse_settings("").quality, AudioQuality::Auto);
  AppSettings odd = parse_settings(R"({"quality":"medium","start_with_windows":yes})");
  EXPECT_EQ(odd.quality, AudioQuality::Medium);
  EXPECT_FALSE(odd.start_with_windows);
  EXPECT_FALSE(odd.smart_volume);
  AppSettings spaced = parse_settings(R"({ "quality": "low", "smart_volume": true })");
  EXPECT_EQ(spaced.quality, AudioQuality::Auto);  // the string reader skips no spaces
  EXPECT_TRUE(spaced.smart_volume);
  AppSettings garbage = parse_settings("\x01\xff not json at all {{{");
  EXPECT_EQ(garbage.quality, AudioQuality::Auto);
  EXPECT_FALSE(garbage.start_with_windows);

  test::AppDataScope app_data(/*create_tovik_folder=*/false);
  AppSettings missing = load_settings();
  EXPECT_EQ(missing.quality, AudioQuality::Auto);
  EXPECT_FALSE(missing.start_with_windows);
  EXPECT_FALSE(missing.smart_volume);
}

TEST(Settings, UnwritableFolderChangesNothingAndReportsNothing) {
  test::AppDataScope app_data(/*create_tovik_folder=*/false);
  test::write_file_bytes(app_data.tovik_path(), "a file, not a folder");
  save_settings(AppSettings{AudioQuality::Low, true, true});
  EXPECT_EQ(test::read_file_bytes(app_data.tovik_path()), "a file, not a folder");
  EXPECT_EQ(load_settings().quality, AudioQuality::Auto);
}
