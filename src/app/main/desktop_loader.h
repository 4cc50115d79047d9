#pragma once

#include <string>

#include "app/shell/platform/linux/linux_front_end.h"

// The maker in the desktop module beside `executable_path` (or where the
// install rules put it); null, with the reason on stderr, when the module
// cannot be loaded. The module stays loaded for the rest of the run: the
// tray and the services live in it.
DesktopFrontEndMaker load_desktop_front_end(const std::string& executable_path);
