#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/shell/platform_services.h"
#include "tray/menu_model.h"
#include "tray/tray_host.h"

enum class FrontEndKind { Desktop, Terminal };

// Terminal when "--headless" is among the arguments or when neither DISPLAY
// nor WAYLAND_DISPLAY is set; Desktop otherwise.
FrontEndKind choose_front_end(int argc, char** argv);

// What the start-up wiring plugs in on Linux. `services` and `tray_host`
// share the Qt application (if any), which lives until both are gone.
struct LinuxFrontEnd {
  FrontEndKind kind = FrontEndKind::Terminal;
  std::unique_ptr<PlatformServices> services;
  std::unique_ptr<TrayHost> tray_host;  // hand to TrayIcon with menu_options
  MenuOptions menu_options;             // item 2014 reads "Start at login"
};

// Fills `front` with the Qt tray and services for a reachable display.
using DesktopFrontEndMaker = void (*)(int argc, char** argv, bool show_dialogs,
                                      LinuxFrontEnd& front);
// Finds the desktop maker (the program loads it from a module, so that the
// terminal mode never maps Qt); null when there is none.
using DesktopFrontEndLoader = std::function<DesktopFrontEndMaker()>;

// Builds the front end of `kind` for the UI (main) thread. A Desktop whose X
// display cannot be opened, or whose maker cannot be found, falls back to
// Terminal, with a line on stderr. `argv` must outlive the result.
// `show_dialogs` false keeps error boxes off the screen (tests). `program`
// is the running program's path: the terminal names the receiver beside it.
LinuxFrontEnd make_linux_front_end(FrontEndKind kind, int argc, char** argv,
                                   const DesktopFrontEndLoader& load_desktop,
                                   bool show_dialogs = true, const std::string& program = {});
