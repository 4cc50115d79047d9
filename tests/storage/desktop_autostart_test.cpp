// The Linux autostart entry, written for real into a temporary XDG config
// folder (HOME is redirected too, so the user's own config is never touched),
// read back the way GNOME's GLib does and judged by desktop-file-validate.
#include <glib.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "storage/autostart.h"
#include "storage/platform/linux/desktop_entry.h"
#include "storage/platform/linux/desktop_file_autostart.h"
#include "support/test_support.h"

namespace {

// The program a desktop starts from the entry: the Exec value unescaped,
// split like a shell's words, "%%" as "%"; "?" unless it is one word.
std::string started_program(const std::string& entry) {
  g_autoptr(GKeyFile) file = g_key_file_new();
  g_autofree gchar* exec = g_key_file_load_from_file(file, entry.c_str(), G_KEY_FILE_NONE, nullptr)
                               ? g_key_file_get_string(file, "Desktop Entry", "Exec", nullptr)
                               : nullptr;
  g_auto(GStrv) argv = nullptr;
  gint argc = 0;
  if (!exec || !g_shell_parse_argv(exec, &argc, &argv, nullptr) || argc != 1) return "?";
  std::string program = argv[0];
  for (std::size_t at = program.find("%%"); at != std::string::npos;
       at = program.find("%%", at + 1)) {
    program.erase(at, 1);
  }
  return program;
}

}  // namespace

TEST(DesktopAutostart, TheEntryStartsTheProgramWhateverItsPathAndComesAndGoes) {
  namespace fs = std::filesystem;
  test::TempDir config, home;
  test::ScopedEnv config_env("XDG_CONFIG_HOME", config.path()), home_env("HOME", home.path());
  const std::string folder = config.path() + "/autostart", path = folder + "/Tovik.desktop";
  EXPECT_FALSE(autostart_enabled());
  set_autostart(true);
  set_autostart(true);
  EXPECT_TRUE(autostart_enabled());
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
  const std::string program = running_executable_path();
  EXPECT_EQ(program.rfind("/tovik_storage_tests"), program.size() - 20) << program;
  EXPECT_EQ(started_program(path), program);
  EXPECT_TRUE(fs::is_empty(home.path()));
  set_autostart(false);
  set_autostart(false);
  EXPECT_FALSE(autostart_enabled() || fs::exists(path));
  test::write_file_bytes(path, "anything");  // only its existence is asked
  EXPECT_TRUE(autostart_enabled());
  DesktopFileAutostart entry;
  set_autostart(entry, false, "");
  set_autostart(entry, true, "");  // an unknown program gets no entry
  EXPECT_FALSE(entry.query());
  EXPECT_EQ(desktop_entry_text("/opt/My Apps/tovik"),
            "[Desktop Entry]\nType=Application\nName=Tovik\n"
            "Comment=Streams this computer's sound to a paired receiver\n"
            "Exec=\"/opt/My Apps/tovik\"\nTerminal=false\nX-GNOME-Autostart-enabled=true\n");
  {
    test::ScopedEnv relative("XDG_CONFIG_HOME", "relative/cfg");  // ignored, as XDG says
    EXPECT_EQ(autostart_folder(), home.path() + "/.config/autostart");
    test::ScopedEnv no_home("HOME", std::nullopt);
    set_autostart(true);  // nowhere to write: nothing happens
    EXPECT_FALSE(autostart_folder() || autostart_enabled());
  }
  TOVIK_REQUIRE_TOOL("desktop-file-validate");
  for (const std::string awkward :
       {"/a\"b$c`d\\e", "/100%/x", "/tab\tand\rcr", "/it's (here) & ~there", "/new\nline"}) {
    entry.write(awkward);
    EXPECT_EQ(started_program(path), awkward);
    if (awkward.find('\n') != std::string::npos) continue;  // not a real path
    EXPECT_EQ(std::system(("desktop-file-validate '" + path + "' >/dev/null 2>&1").c_str()), 0)
        << awkward;
  }
}
