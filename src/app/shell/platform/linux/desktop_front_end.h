#pragma once

#include "app/shell/platform/linux/linux_front_end.h"

// The Qt tray and Qt platform services, sharing one Qt application.
void make_desktop_front_end(int argc, char** argv, bool show_dialogs, LinuxFrontEnd& front);
