#include "storage/storage_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/app_data.h"
#include "support/test_support.h"

TEST(StorageDir, IsTheTovikFolderUnderTheBaseAndIsCreated) {
  test::AppDataScope app_data(/*create_tovik_folder=*/false);
  EXPECT_EQ(storage_dir(), app_data.tovik_path());
  EXPECT_TRUE(std::filesystem::is_directory(app_data.tovik_path()));
  EXPECT_EQ(storage_file("settings.json"), app_data.tovik_path("settings.json"));
}

#ifndef _WIN32
TEST(StorageDir, WithoutAnyBaseNothingIsReadOrWrittenOnLinux) {
  test::ScopedEnv app_data("APPDATA", std::nullopt);
  test::ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
  test::ScopedEnv home("HOME", std::nullopt);
  bool existed = std::filesystem::exists("/Tovik");
  EXPECT_EQ(storage_dir(), "");
  EXPECT_EQ(storage_file("settings.json"), "");
  EXPECT_EQ(std::filesystem::exists("/Tovik"), existed);
}
#endif

TEST(ReadTextFile, ReturnsTheWholeTextWithTextModeLineEnds) {
  test::TempDir dir;
  const std::string path = dir.path() + "/f.txt";
  std::string long_line(1000, 'z');
  test::write_file_bytes(path, "one" + std::string(test::text_line_end()) + long_line +
                                   test::text_line_end() + "last");
  EXPECT_EQ(read_text_file(path), "one\n" + long_line + "\nlast");
  test::write_file_bytes(path, "");
  EXPECT_EQ(read_text_file(path), "");
  EXPECT_EQ(read_text_file(dir.path() + "/missing"), "");
  EXPECT_EQ(read_text_file(""), "");
}
