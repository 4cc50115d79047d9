#include "app/shell/platform/linux/desktop_front_end.h"

#include <iostream>
#include <memory>

#include "app/shell/platform/linux/qt_platform_services.h"
#include "tray/platform/linux/qt_tray_host.h"

void make_desktop_front_end(int argc, char** argv, bool show_dialogs, LinuxFrontEnd& front) {
  auto app = std::make_shared<QtApplication>(argc, argv);
  front.services = std::make_unique<QtPlatformServices>(app, show_dialogs, std::cerr);
  front.tray_host = std::make_unique<QtTrayHost>(app);
}
