#include "app/device_identity.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

#include "support/test_support.h"

TEST(DeviceIdentity, IsMadeOnceStoredBareThenTakenAsStoredAndMadeDoWithoutAStore) {
  namespace fs = std::filesystem;
  const std::regex made("tovik-[0-9a-f]{16}");
  test::AppDataScope app_data(/*create_tovik_folder=*/false);
  const std::string path = app_data.tovik_path("device_id"), end = test::text_line_end();
  const std::string first = load_or_create_device_id();
  EXPECT_TRUE(std::regex_match(first, made)) << first;
  EXPECT_EQ(test::read_file_bytes(path), first);  // the folder is made on demand; no line end
  // Aged: a rewrite on the second start would move its time forward.
  const fs::file_time_type aged = fs::last_write_time(path) - std::chrono::hours(48);
  fs::last_write_time(path, aged);
  EXPECT_EQ(load_or_create_device_id(), first);
  EXPECT_EQ(fs::last_write_time(path), aged);
  // Any non-empty first line, as read (its line end stays), up to 127 bytes.
  const std::pair<std::string, std::string> stored[] = {
      {"abc", "abc"},
      {"abc" + end + "second line", "abc\n"},
      {end, "\n"},
      {std::string(200, 'x') + end, std::string(127, 'x')},
  };
  for (const auto& [bytes, id] : stored) {
    test::write_file_bytes(path, bytes);
    EXPECT_EQ(load_or_create_device_id(), id) << bytes.size() << " bytes";
  }
  EXPECT_EQ(test::read_file_bytes(path), stored[3].first) << "the file must not be rewritten";
  test::write_file_bytes(path, "");  // an empty file is replaced
  const std::string fresh = load_or_create_device_id();
  EXPECT_TRUE(std::regex_match(fresh, made) && fresh != first) << fresh;
  EXPECT_EQ(test::read_file_bytes(path), fresh);
  // Unwritable: a new one at every start. Without any base: "unknown-device".
  fs::remove(path);
  fs::create_directory(path);
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
