// Tovik on Windows: a GUI-subsystem program with no console and no
// arguments; the tray's hidden window is its only window.
#include <windows.h>

#include <memory>

#include "app/instance_lock.h"
#include "app/main/engine_factory.h"
#include "app/shell/platform/win/win32_platform_services.h"
#include "app/shell/shell.h"
#include "app/shell/terminate_handler.h"
#include "storage/autostart.h"
#include "tray/platform/win/win32_tray_host.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  install_terminate_handler();
  InstanceLock one_instance;  // held until the process ends
  Win32PlatformServices services;
  std::unique_ptr<AutostartEntry> autostart = make_system_autostart();

  ShellEnvironment env;
  env.platform = &services;
  env.autostart = autostart.get();
  env.claim_instance = [&one_instance] { return one_instance.claim(); };
  env.executable_path = running_executable_path();
  env.create_engine = create_stream_engine;
  env.create_tray_host = [instance] { return std::make_unique<Win32TrayHost>(instance); };
  return Shell(std::move(env)).run();
}
