// What the user's files survive: a huge or unreadable one is set aside before
// the defaults can overwrite it, a stale temporary file never blocks a save,
// and a save that fails says why in debug.log.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "storage/paired_devices.h"
#include "storage/settings.h"
#include "storage/storage_dir.h"
#include "support/test_support.h"

namespace {

bool logged(const test::AppDataScope& app_data, const std::string& start) {
  for (const std::string& line : test::log_lines(app_data, "debug.log")) {
    if (line.compare(0, start.size(), start) == 0) return true;
  }
  return false;
}

const std::pair<const char*, std::function<void()>> kFiles[] = {
    {"settings.json", [] { save_settings(load_settings()); }},
    {"paired_devices.json",
     [] {
       add_paired_device({"Kitchen", "Kitchen", 5});
     }},
};

}  // namespace

TEST(StoredFiles, HugeUnreadableOrBlockedFilesNeverCostTheUsersData) {
  for (const auto& [name, load_and_save] : kFiles) {
    test::AppDataScope app_data;
    const std::string path = app_data.tovik_path(name);
    const std::string huge(kMaxStoredFileBytes + 1, ' ');
    test::write_file_bytes(path + ".bad", "an older one");
    test::write_file_bytes(path, huge);
    std::filesystem::create_directory(path + ".tmp");  // stale, of the old fixed name
    load_and_save();
    EXPECT_EQ(test::read_file_bytes(path + ".bad"), huge) << name;
    EXPECT_TRUE(std::filesystem::is_regular_file(path)) << name;
    EXPECT_TRUE(logged(app_data, "storage: read " + path + ": 65537 bytes")) << name;

    for (const char* gone : {".tmp", ".bad", ""}) std::filesystem::remove(path + gone);
    std::filesystem::create_directories(path + "/in the way");  // there, but unreadable
    load_and_save();
    EXPECT_TRUE(std::filesystem::is_directory(path + ".bad/in the way")) << name;
    std::filesystem::remove(path);
    std::filesystem::create_directories(path + "/in the way");  // now it cannot go aside
    load_and_save();
    EXPECT_TRUE(logged(app_data, "storage: save " + path + ": cannot replace the file (")) << name;
    for (const auto& entry : std::filesystem::directory_iterator(app_data.tovik_path())) {
      EXPECT_NE(entry.path().extension(), ".tmp") << "left: " << entry.path();
    }
  }
  test::AppDataScope app_data;
  test::write_file_bytes(app_data.tovik_path("f"), std::string(kMaxStoredFileBytes, ' '));
  EXPECT_EQ(read_text_file(app_data.tovik_path("f")).size(), kMaxStoredFileBytes);
}
