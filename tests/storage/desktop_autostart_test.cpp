// The Linux autostart entry, written for real into a temporary XDG config
// folder (HOME is redirected too, so the user's own config is never touched).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "storage/autostart.h"
#include "storage/platform/linux/desktop_entry.h"
#include "storage/platform/linux/desktop_file_autostart.h"
#include "support/test_support.h"

namespace {

// What a desktop environment does with the Exec value: undo the string-value
// escapes, then take the one quoted argument apart.
std::string decode_exec(const std::string& value) {
  std::string unescaped;
  for (std::size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == '%' && i + 1 < value.size() && value[i + 1] == '%') {
      ++i;
    } else if (c == '\\' && i + 1 < value.size()) {
      char n = value[++i];
      c = n == 'n' ? '\n' : n == 't' ? '\t' : n == 'r' ? '\r' : n == 's' ? ' ' : n;
    }
    unescaped += c;
  }
  if (unescaped.size() < 2 || unescaped.front() != '"' || unescaped.back() != '"') return "?";
  std::string argument;
  for (std::size_t i = 1; i + 1 < unescaped.size(); ++i) {
    if (unescaped[i] == '\\') ++i;
    argument += unescaped[i];
  }
  return argument;
}

const char* const kAwkwardPaths[] = {"/usr/bin/tovik",     "/opt/My Apps/tovik",
                                     "/a\"b$c`d\\e",       "/100%/x",
                                     "/tab\tand\nnewline", "/it's (here) & ~there"};

class DesktopAutostart : public ::testing::Test {
 protected:
  std::string entry_path() const { return config_.path() + "/autostart/Tovik.desktop"; }

  test::TempDir config_;
  test::TempDir home_;
  test::ScopedEnv config_env_{"XDG_CONFIG_HOME", config_.path()};
  test::ScopedEnv home_env_{"HOME", home_.path()};
};

}  // namespace

TEST(DesktopEntry, ExecQuotesEscapesAndDecodesBackToThePath) {
  // A literal backslash takes four: quoting doubles it, the value escape again.
  EXPECT_EQ(desktop_exec_argument("/a\\b"), "\"/a\\\\\\\\b\"");
  EXPECT_EQ(desktop_exec_argument("/100%/x"), "\"/100%%/x\"");
  for (const char* path : kAwkwardPaths) EXPECT_EQ(decode_exec(desktop_exec_argument(path)), path);
  const std::string text = desktop_entry_text("/opt/My Apps/tovik");
  EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
  for (const char* line :
       {"\nType=Application\n", "\nName=Tovik\n", "\nExec=\"/opt/My Apps/tovik\"\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
}

TEST(DesktopEntry, FolderFollowsXdgRules) {
  test::ScopedEnv home("HOME", "/home/someone");
  {
    test::ScopedEnv config("XDG_CONFIG_HOME", "/cfg");
    EXPECT_EQ(autostart_folder(), "/cfg/autostart");
  }
  {
    test::ScopedEnv config("XDG_CONFIG_HOME", "relative/cfg");  // ignored
    EXPECT_EQ(autostart_folder(), "/home/someone/.config/autostart");
  }
  test::ScopedEnv config("XDG_CONFIG_HOME", std::nullopt);
  EXPECT_EQ(autostart_folder(), "/home/someone/.config/autostart");
  test::ScopedEnv no_home("HOME", std::nullopt);
  EXPECT_EQ(autostart_folder(), std::nullopt);
  DesktopFileAutostart entry;
  EXPECT_FALSE(entry.query());
  entry.write("/x");  // nowhere to write: nothing happens
  entry.remove();
}

TEST_F(DesktopAutostart, EnableTwiceLeavesOneEntryAndDisableRemovesIt) {
  EXPECT_FALSE(autostart_enabled());
  set_autostart(true);
  set_autostart(true);
  EXPECT_TRUE(autostart_enabled());
  std::filesystem::path folder = config_.path() + "/autostart";
  int files = 0;
  for (const auto& item : std::filesystem::directory_iterator(folder)) {
    EXPECT_EQ(item.path().filename(), "Tovik.desktop");
    ++files;
  }
  EXPECT_EQ(files, 1);
  EXPECT_EQ(test::read_file_bytes(entry_path()), desktop_entry_text(running_executable_path()));
  EXPECT_TRUE(std::filesystem::is_empty(home_.path()));
  set_autostart(false);
  EXPECT_FALSE(test::file_exists(entry_path()));
  set_autostart(false);
  EXPECT_FALSE(autostart_enabled());
  test::write_file_bytes(entry_path(), "anything");  // the query only looks for the entry
  EXPECT_TRUE(autostart_enabled());
}

TEST_F(DesktopAutostart, AnUnwritableFolderChangesNothing) {
  test::write_file_bytes(config_.path() + "/autostart", "not a folder");
  set_autostart(true);
  EXPECT_FALSE(autostart_enabled());
  EXPECT_EQ(test::read_file_bytes(config_.path() + "/autostart"), "not a folder");
}

// The freedesktop validator as an outside judge, where it is installed.
TEST_F(DesktopAutostart, WrittenEntriesPassDesktopFileValidate) {
  TOVIK_REQUIRE_TOOL("desktop-file-validate");
  DesktopFileAutostart entry;
  for (const char* path : kAwkwardPaths) {
    if (std::string(path).find('\n') != std::string::npos) continue;  // not a real path
    entry.write(path);
    std::string command = "desktop-file-validate '" + entry_path() + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << path;
  }
}
