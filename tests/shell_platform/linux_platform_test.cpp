#include <gtest/gtest.h>
#include <unistd.h>

#include <QClipboard>
#include <QGuiApplication>
#include <ctime>
#include <sstream>

#include "app/shell/platform/linux/linux_front_end.h"
#include "app/shell/platform/linux/qt_platform_services.h"
#include "app/shell/platform/posix/terminal_platform_services.h"
#include "support/test_support.h"
#include "tray/platform/posix/terminal_tray_host.h"

namespace {

char g_name[] = "linux_platform_test";
char g_headless[] = "--headless";
char* g_argv[] = {g_name, g_headless, nullptr};

}  // namespace

// The terminal's services are those of tovik --headless, which the lab tests
// run; these are the desktop's.
TEST(QtPlatformServices, ClipboardMessagesNameAndClockAreTheSystems) {
  std::ostringstream err;
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QtPlatformServices qt(std::make_shared<QtApplication>(1, g_argv), /*show_dialogs=*/false, err);
  qt.copy_to_clipboard("654321");
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "654321");
  qt.show_error("Failed to create tray icon");
  qt.show_notice("Tovik is already running.");
  EXPECT_EQ(err.str(),
            "Tovik - Error: Failed to create tray icon\nTovik: Tovik is already running.\n");
  char name[256] = {};
  gethostname(name, sizeof name - 1);
  EXPECT_EQ(qt.computer_name(), name);
  const std::int64_t before = std::time(nullptr), now = qt.now_seconds();
  EXPECT_TRUE(before <= now && now <= std::time(nullptr)) << now;
}

TEST(LinuxFrontEnd, TheTerminalWithoutADisplayWithHeadlessOrWhenTheDesktopCannotBeHad) {
  const struct {
    std::optional<std::string> x, wayland;
    int argc;  // 2: with --headless
  } cases[] = {{{}, {}, 1}, {":42", {}, 1}, {":42", {}, 2}, {"", {}, 1}, {"", "wayland-0", 1}};
  std::string kinds;
  for (const auto& c : cases) {
    test::ScopedEnv display("DISPLAY", c.x), wayland("WAYLAND_DISPLAY", c.wayland);
    kinds += choose_front_end(c.argc, g_argv) == FrontEndKind::Desktop ? "D" : "T";
  }
  EXPECT_EQ(kinds, "TDTTD");
  test::ScopedEnv display("DISPLAY", std::nullopt), wayland("WAYLAND_DISPLAY", "wayland-0");
  int loads = 0;
  const auto loader = [&loads]() -> DesktopFrontEndMaker { return ++loads, nullptr; };
  // Wayland only: nothing to probe, the missing desktop module decides.
  LinuxFrontEnd missing = make_linux_front_end(FrontEndKind::Desktop, 1, g_argv, loader, false);
  EXPECT_EQ(loads, 1);
  test::TempDir dir;  // a socket path nobody listens on
  test::ScopedEnv unreachable("DISPLAY", "unix:" + dir.path() + "/none:0");
  LinuxFrontEnd fallback = make_linux_front_end(FrontEndKind::Desktop, 1, g_argv, loader, false);
  EXPECT_EQ(loads, 1) << "the desktop module is loaded only for a reachable display";
  for (const LinuxFrontEnd* front : {&missing, &fallback}) {
    EXPECT_EQ(front->kind, FrontEndKind::Terminal);
    EXPECT_NE(dynamic_cast<TerminalTrayHost*>(front->tray_host.get()), nullptr);
    EXPECT_NE(dynamic_cast<TerminalPlatformServices*>(front->services.get()), nullptr);
    EXPECT_EQ(front->menu_options.autostart_label, "Start at login");
  }
}
