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

TEST(StoredFiles, HugeUnreadableOrBlockedFilesNeverCostTheUsersData) {
  namespace fs = std::filesystem;
  const std::pair<const char*, std::function<void()>> files[] = {
      {"settings.json", [] { save_settings(load_settings()); }},
      {"paired_devices.json",
       [] {
         add_paired_device({"Kitchen", "Kitchen", 5});
       }},
  };
  for (const auto& [name, load_and_save] : files) {
    test::AppDataScope app_data;
    const std::string path = app_data.tovik_path(name), huge(kMaxStoredFileBytes + 1, ' ');
    test::write_file_bytes(path + ".bad", "an older one");
    test::write_file_bytes(path, huge);
    fs::create_directory(path + ".tmp");  // stale, of the old fixed name
    load_and_save();
    EXPECT_EQ(test::read_file_bytes(path + ".bad"), huge) << name;
    EXPECT_TRUE(fs::is_regular_file(path)) << name;
    for (const char* gone : {".tmp", ".bad", ""}) fs::remove(path + gone);
    fs::create_directories(path + "/in the way");  // there, but unreadable
    load_and_save();
    EXPECT_TRUE(fs::is_directory(path + ".bad/in the way")) << name;
    fs::remove(path);
    fs::create_directories(path + "/in the way");  // now it cannot go aside
    load_and_save();
    std::string log;  // without the system's words for the failure
    for (const std::string& line : test::log_lines(app_data, "debug.log")) {
      log += line.substr(0, line.find(" (")) + "|";
    }
#ifdef _WIN32
    const std::string unreadable = "cannot be opened";  // a folder does not open
#else
    const std::string unreadable = "cannot be read";
#endif
    const std::string read = "storage: read " + path + ": ",
                      aside = "; set aside as " + path + ".bad|";
    EXPECT_EQ(log, read + "65537 bytes, more than the 65536 allowed" + aside + read + unreadable +
                       aside + read + unreadable + "; it could not be set aside|storage: save " +
                       path + ": cannot replace the file|");
    for (const auto& entry : fs::directory_iterator(app_data.tovik_path())) {
      EXPECT_NE(entry.path().extension(), ".tmp") << "left: " << entry.path();
    }
  }
  test::AppDataScope app_data;  // the largest file that is read
  test::write_file_bytes(app_data.tovik_path("f"), std::string(kMaxStoredFileBytes, ' '));
  EXPECT_EQ(read_text_file(app_data.tovik_path("f")).size(), kMaxStoredFileBytes);
}
