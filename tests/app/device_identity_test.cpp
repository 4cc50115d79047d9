#include "app/device_identity.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>

#include "support/test_support.h"

namespace {

bool is_new_style_id(const std::string& id) {
  if (id.size() != 22 || id.compare(0, 6, "tovik-") != 0) return false;
  return id.find_first_not_of("0123456789abcdef", 6) == std::string::npos;
}

}  // namespace

TEST(DeviceIdentity, FirstStartStoresExactly22BytesAndSecondStartKeepsThem) {
  test::AppDataScope app_data(/*create_tovik_folder=*/false);
  std::string first = load_or_create_device_id();
  EXPECT_TRUE(is_new_style_id(first)) << first;
  // The folder is created on demand and the file has no line end.
  EXPECT_EQ(test::read_file_bytes(app_data.tovik_path("device_id")), first);
  EXPECT_FALSE(test::file_exists(app_data.tovik_path("device_id.tmp")));

  // Age the file: a rewrite on the second start would move its time forward.
  namespace fs = std::filesystem;
  fs::path path = app_data.tovik_path("device_id");
  fs::file_time_type old_time = fs::last_write_time(path) - std::chrono::hours(48);
  fs::last_write_time(path, old_time);
  EXPECT_EQ(load_or_create_device_id(), first);
  EXPECT_EQ(fs::last_write_time(path), old_time);
  EXPECT_EQ(test::read_file_bytes(app_data.tovik_path("device_id")), first);
}

TEST(DeviceIdentity, AnyNonEmptyFirstLineIsTakenAsIs) {
  test::AppDataScope app_data;
  const std::string path = app_data.tovik_path("device_id");
  struct Case {
    std::string stored;
    std::string expected;
  } cases[] = {
      {"abc", "abc"},
      // The line end that is read stays part of the identity (LF after text mode).
      {std::string("abc") + test::text_line_end() + "second line", "abc\n"},
      {test::text_line_end(), "\n"},
      {std::string(200, 'x') + "\n", std::string(127, 'x')},
      {std::string(127, 'y'), std::string(127, 'y')},
  };
  for (const Case& c : cases) {
    test::write_file_bytes(path, c.stored);
    EXPECT_EQ(load_or_create_device_id(), c.expected) << c.stored.size() << " bytes stored";
    EXPECT_EQ(test::read_file_bytes(path), c.stored) << "the file must not be rewritten";
  }
  test::write_file_bytes(path, "");  // an empty file is replaced
  const std::string id = load_or_create_device_id();
  EXPECT_TRUE(is_new_style_id(id)) << id;
  EXPECT_EQ(test::read_file_bytes(path), id);
}

TEST(DeviceIdentity, WithoutABaseFolderEveryStartIsUnknownDevice) {
  test::ScopedEnv app_data("APPDATA", std::nullopt);
  test::ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
  test::ScopedEnv home_env("HOME", std::nullopt);
  EXPECT_EQ(load_or_create_device_id(), "unknown-device");
  EXPECT_EQ(load_or_create_device_id(), "unknown-device");
}

TEST(DeviceIdentity, UnwritableFolderGivesAFreshIdentityEachRunAndChangesNothing) {
  test::AppDataScope app_data(/*create_tovik_folder=*/false);
  // A regular file where the folder should be: nothing can be created in it.
  test::write_file_bytes(app_data.tovik_path(), "not a folder");
  std::string first = load_or_create_device_id();
  std::string second = load_or_create_device_id();
  EXPECT_TRUE(is_new_style_id(first));
  EXPECT_TRUE(is_new_style_id(second));
  EXPECT_NE(first, second);
  EXPECT_EQ(test::read_file_bytes(app_data.tovik_path()), "not a folder");
}

TEST(DeviceIdentity, NewIdentitiesUseAllSixteenDigits) {
  std::set<char> digits;
  std::set<std::string> ids;
  for (int i = 0; i < 200; ++i) {
    std::string id = make_device_id();
    ASSERT_TRUE(is_new_style_id(id)) << id;
    ids.insert(id);
    digits.insert(id.begin() + 6, id.end());
  }
  EXPECT_EQ(ids.size(), 200u);
  EXPECT_EQ(digits.size(), 16u);
}
