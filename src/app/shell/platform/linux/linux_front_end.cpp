#include "app/shell/platform/linux/linux_front_end.h"

#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "app/shell/platform/posix/terminal_platform_services.h"
#include "tray/platform/posix/terminal_tray_host.h"

namespace {

bool has_env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// Qt aborts the process when it cannot reach the X server, so try first.
// Without DISPLAY (Wayland only) Qt's own plugin choice decides.
bool x_display_reachable() {
  if (!has_env("DISPLAY")) return true;
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  bool ok = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return ok;
}

// The receiver installed or built beside the program; the bare name (found on
// PATH) where there is none.
std::string receiver_beside(const std::string& program) {
  const std::string::size_type slash = program.rfind('/');
  if (slash != std::string::npos) {
    std::string beside = program.substr(0, slash + 1) + "tovik-receive";
    if (access(beside.c_str(), X_OK) == 0) return beside;
  }
  return "tovik-receive";
}

bool colour_terminal() {
  const char* term = std::getenv("TERM");
  return isatty(STDOUT_FILENO) == 1 && term != nullptr && std::strcmp(term, "dumb") != 0;
}

}  // namespace

FrontEndKind choose_front_end(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--headless") == 0) return FrontEndKind::Terminal;
  }
  if (!has_env("DISPLAY") && !has_env("WAYLAND_DISPLAY")) return FrontEndKind::Terminal;
  return FrontEndKind::Desktop;
}

LinuxFrontEnd make_linux_front_end(FrontEndKind kind, int argc, char** argv,
                                   const DesktopFrontEndLoader& load_desktop, bool show_dialogs,
                                   const std::string& program) {
  LinuxFrontEnd front;
  front.menu_options.autostart_label = std::string(kAutostartLabelLogin);
  if (kind == FrontEndKind::Desktop && !x_display_reachable()) {
    std::cerr << "Tovik: cannot open the display; running in the terminal\n";
    kind = FrontEndKind::Terminal;
  }
  DesktopFrontEndMaker make_desktop = nullptr;
  if (kind == FrontEndKind::Desktop && !(make_desktop = load_desktop())) {
    std::cerr << "Tovik: the desktop tray is not available; running in the terminal\n";
    kind = FrontEndKind::Terminal;
  }
  front.kind = kind;
  if (kind == FrontEndKind::Terminal) {
    front.services = std::make_unique<TerminalPlatformServices>(std::cerr);
    front.tray_host =
        std::make_unique<TerminalTrayHost>(std::cout, colour_terminal(), receiver_beside(program));
    return front;
  }
  make_desktop(argc, argv, show_dialogs, front);
  return front;
}
