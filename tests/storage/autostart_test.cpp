#include "storage/autostart.h"

#include <gtest/gtest.h>

#include <string>

#include "storage/memory_autostart.h"
#include "support/test_support.h"

TEST(Autostart, SetAndQueryThroughTheSeam) {
  MemoryAutostart entry;
  EXPECT_FALSE(autostart_enabled(entry));
  set_autostart(entry, false, "C:\\x.exe");  // removing a missing entry is fine
  EXPECT_FALSE(autostart_enabled(entry));
  set_autostart(entry, true, "C:\\Program Files\\Tovik\\tovik.exe");
  set_autostart(entry, true, "C:\\Program Files\\Tovik\\tovik.exe");
  EXPECT_TRUE(autostart_enabled(entry));
  EXPECT_EQ(entry.exe_path(), "C:\\Program Files\\Tovik\\tovik.exe");
  set_autostart(entry, false, "");
  EXPECT_FALSE(autostart_enabled(entry));
  const int writes = entry.writes();
  set_autostart(entry, true, "");  // an unknown executable path writes nothing
  EXPECT_EQ(entry.writes(), writes);
  EXPECT_FALSE(autostart_enabled(entry));
}

TEST(Autostart, RunningExecutablePathIsAbsolute) {
  std::string path = running_executable_path();
  ASSERT_FALSE(path.empty());
#ifdef _WIN32
  EXPECT_EQ(path.substr(1, 2), ":\\") << path;
#else
  EXPECT_EQ(path[0], '/') << path;
#endif
  EXPECT_NE(path.find("tovik_storage_tests"), std::string::npos) << path;
}
