#include "app/device_identity.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

#include "support/test_support.h"

TEST(DeviceIdentity, IsMadeOnceStoredBareThenTakenAsStoredAndMadeDoWithoutAStore) {
  const std::regex made("tovik-[0-9a-f]{16}");
  test::AppDataScope app_data(/*create_tovik_folder=*/false);
  const std::string path = app_data.tovik_path("device_id"), end = test::text_line_end();
  const std::string first = load_or_create_device_id();
  EXPECT_TRUE(std::regex_match(first, made)) << first;
  EXPECT_EQ(test::read_file_bytes(path), first);  // the folder is made on demand; no line end
  EXPECT_EQ(load_or_create_device_id(), first);
  // Any non-empty first line, as read (its line end stays), up to 127 bytes;
  // never rewritten.
  test::write_file_bytes(path, std::string(200, 'x'));
  EXPECT_EQ(load_or_create_device_id(), std::string(127, 'x'));
  test::write_file_bytes(path, "abc" + end + "second line");
  EXPECT_EQ(load_or_create_device_id() + *test::read_file_bytes(path),
            "abc\nabc" + end + "second line");
  test::write_file_bytes(path, "");  // an empty file is replaced
  const std::string fresh = load_or_create_device_id();
  EXPECT_TRUE(std::regex_match(fresh, made) && fresh != first) << fresh;
  EXPECT_EQ(test::read_file_bytes(path), fresh);
  // Unwritable: a new one at every start. Without any base: "unknown-device".
  std::filesystem::remove(path);
  std::filesystem::create_directory(path);
  EXPECT_NE(load_or_create_device_id(), load_or_create_device_id());
  test::ScopedEnv no_app_data("APPDATA", std::nullopt), no_config("XDG_CONFIG_HOME", std::nullopt),
      no_home("HOME", std::nullopt);
  EXPECT_EQ(load_or_create_device_id(), "unknown-device");
  std::set<char> digits;
  for (int i = 0; i < 200; ++i) {
    const std::string id = make_device_id();
    digits.insert(id.begin() + 6, id.end());
  }
  EXPECT_EQ(digits.size(), 16u);
}
