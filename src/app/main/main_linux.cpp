// Tovik on Linux: a Qt tray on a desktop, a terminal host without one (or
// with --headless); the same start-up wiring as on Windows.
#include <memory>
#include <string>

#include "app/instance_lock.h"
#include "app/main/desktop_loader.h"
#include "app/main/engine_factory.h"
#include "app/shell/platform/linux/linux_front_end.h"
#include "app/shell/shell.h"
#include "app/shell/terminate_handler.h"
#include "storage/autostart.h"

int main(int argc, char** argv) {
  install_terminate_handler();
  InstanceLock one_instance;  // held until the process ends
  const std::string executable = running_executable_path();
  LinuxFrontEnd front_end = make_linux_front_end(
      choose_front_end(argc, argv), argc, argv,
      [&executable] { return load_desktop_front_end(executable); }, true, executable);
  std::unique_ptr<AutostartEntry> autostart = make_system_autostart();

  ShellEnvironment env;
  env.platform = front_end.services.get();
  env.autostart = autostart.get();
  env.claim_instance = [&one_instance] { return one_instance.claim(); };
  env.executable_path = executable;
  env.create_engine = create_stream_engine;
  env.create_tray_host = [&front_end] { return std::move(front_end.tray_host); };
  env.menu_options = front_end.menu_options;
  return Shell(std::move(env)).run();
}
