#include <gtest/gtest.h>
#include <unistd.h>

#include <QClipboard>
#include <QGuiApplication>
#include <ctime>
#include <sstream>

#include "app/shell/platform/linux/desktop_front_end.h"
#include "app/shell/platform/linux/linux_front_end.h"
#include "app/shell/platform/linux/qt_platform_services.h"
#include "app/shell/platform/posix/terminal_platform_services.h"
#include "support/test_support.h"
#include "tray/platform/linux/qt_tray_host.h"
#include "tray/platform/posix/terminal_tray_host.h"

namespace {

char g_name[] = "linux_platform_test";
char g_headless[] = "--headless";
char* g_argv[] = {g_name, g_headless, nullptr};

std::string host_name() {
  char buffer[256] = {};
  gethostname(buffer, sizeof buffer - 1);
  return buffer;
}

std::shared_ptr<QtApplication> offscreen_app() {
  static std::shared_ptr<QtApplication> app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return std::make_shared<QtApplication>(1, g_argv);
  }();
  return app;
}

}  // namespace

TEST(TerminalPlatformServices, WritesErrorsToTheStreamAndReadsTheSystem) {
  std::ostringstream err;
  TerminalPlatformServices services(err);
  services.show_error("No audio output device found. Check your sound settings.");
  EXPECT_EQ(err.str(), "Tovik - Error: No audio output device found. Check your sound settings.\n");
  EXPECT_EQ(services.computer_name(), host_name());
  EXPECT_FALSE(services.computer_name().empty());
  std::int64_t before = std::time(nullptr);
  std::int64_t now = services.now_seconds();
  EXPECT_GE(now, before);
  EXPECT_LE(now, std::time(nullptr));
  services.copy_to_clipboard("123456");  // nothing to check: a documented no-op
}

TEST(QtPlatformServices, ClipboardRoundTripAndErrorsWithoutDialogs) {
  std::ostringstream err;
  QtPlatformServices services(offscreen_app(), /*show_dialogs=*/false, err);
  services.copy_to_clipboard("654321");
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "654321");
  services.show_error("Failed to create tray icon");
  EXPECT_EQ(err.str(), "Tovik - Error: Failed to create tray icon\n");
  EXPECT_EQ(services.computer_name(), host_name());
}

TEST(LinuxFrontEnd, ChoosesTheTerminalWithoutADisplayOrWithHeadless) {
  test::ScopedEnv display("DISPLAY", std::nullopt);
  test::ScopedEnv wayland("WAYLAND_DISPLAY", std::nullopt);
  EXPECT_EQ(choose_front_end(1, g_argv), FrontEndKind::Terminal);
  {
    test::ScopedEnv x("DISPLAY", ":42");
    EXPECT_EQ(choose_front_end(1, g_argv), FrontEndKind::Desktop);
    EXPECT_EQ(choose_front_end(2, g_argv), FrontEndKind::Terminal);
  }
  {
    test::ScopedEnv empty("DISPLAY", "");
    EXPECT_EQ(choose_front_end(1, g_argv), FrontEndKind::Terminal);
    test::ScopedEnv w("WAYLAND_DISPLAY", "wayland-0");
    EXPECT_EQ(choose_front_end(1, g_argv), FrontEndKind::Desktop);
  }
}

TEST(LinuxFrontEnd, BuildsTheTerminalPairAndFallsBackWhenTheDisplayIsUnreachable) {
  int loads = 0;
  auto counting_loader = [&loads]() -> DesktopFrontEndMaker {
    ++loads;
    return &make_desktop_front_end;
  };
  LinuxFrontEnd terminal = make_linux_front_end(FrontEndKind::Terminal, 2, g_argv, counting_loader);
  EXPECT_EQ(terminal.kind, FrontEndKind::Terminal);
  EXPECT_NE(dynamic_cast<TerminalTrayHost*>(terminal.tray_host.get()), nullptr);
  EXPECT_NE(dynamic_cast<TerminalPlatformServices*>(terminal.services.get()), nullptr);
  EXPECT_EQ(terminal.menu_options.autostart_label, "Start at login");

  test::TempDir dir;  // a socket path nobody listens on
  test::ScopedEnv display("DISPLAY", "unix:" + dir.path() + "/none:0");
  LinuxFrontEnd fallback =
      make_linux_front_end(FrontEndKind::Desktop, 1, g_argv, counting_loader, false);
  EXPECT_EQ(fallback.kind, FrontEndKind::Terminal);
  EXPECT_NE(dynamic_cast<TerminalTrayHost*>(fallback.tray_host.get()), nullptr);
  EXPECT_EQ(loads, 0) << "the desktop module is loaded only for a reachable display";
}

TEST(LinuxFrontEnd, FallsBackToTheTerminalWhenTheDesktopModuleIsMissing) {
  test::ScopedEnv display("DISPLAY", std::nullopt);  // Wayland: nothing to probe first
  LinuxFrontEnd front = make_linux_front_end(
      FrontEndKind::Desktop, 1, g_argv, []() -> DesktopFrontEndMaker { return nullptr; }, false);
  EXPECT_EQ(front.kind, FrontEndKind::Terminal);
  EXPECT_NE(dynamic_cast<TerminalTrayHost*>(front.tray_host.get()), nullptr);
  EXPECT_NE(dynamic_cast<TerminalPlatformServices*>(front.services.get()), nullptr);
}
