// The entry of tovik-desktop.so.
#include "app/main/desktop_module.h"

#include "app/shell/platform/linux/desktop_front_end.h"

extern "C" __attribute__((visibility("default"))) void tovik_make_desktop_front_end(
    int argc, char** argv, bool show_dialogs, LinuxFrontEnd& front) {
  make_desktop_front_end(argc, argv, show_dialogs, front);
}
