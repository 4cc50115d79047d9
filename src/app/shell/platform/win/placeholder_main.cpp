// A stand-in for the Tovik program until the full entry point exists: the
// tray icon and its menu ("Quit Tovik" works), no streaming and no pairing
// code. It gives the installer a real program to carry and start.
#include <windows.h>

#include <memory>

#include "tray/platform/win/win32_tray_host.h"
#include "tray/tray_icon.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  TrayIcon tray(std::make_unique<Win32TrayHost>(instance));
  if (!tray.create(TrayCallbacks{})) {
    MessageBoxA(nullptr, "Failed to create tray icon", "Tovik - Error", MB_ICONERROR);
    return 1;
  }
  tray.run_message_loop();
  return 0;
}
