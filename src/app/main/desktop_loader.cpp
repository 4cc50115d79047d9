#include "app/main/desktop_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <iostream>

#include "app/main/desktop_module.h"

namespace {

// Beside the program in a build tree; in lib/tovik when installed. The
// reason given is that of a module that is there but cannot be loaded, else
// the first place's.
void* open_desktop_module(const std::string& executable_path, std::string* reason) {
  const std::string folder = executable_path.substr(0, executable_path.rfind('/') + 1);
  for (const char* place : {"", kDesktopModuleInstalledFolder}) {
    const std::string path = folder + place + kDesktopModuleFile;
    if (void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return module;
    const char* error = dlerror();  // names the file and the reason
    if (reason->empty() || access(path.c_str(), F_OK) == 0) *reason = error ? error : path;
  }
  return nullptr;
}

}  // namespace

DesktopFrontEndMaker load_desktop_front_end(const std::string& executable_path) {
  std::string reason;
  void* module = open_desktop_module(executable_path, &reason);
  void* entry = module != nullptr ? dlsym(module, kDesktopModuleEntry) : nullptr;
  if (entry == nullptr) {
    if (module != nullptr) reason = std::string("no ") + kDesktopModuleEntry + " in the module";
    std::cerr << "Tovik: cannot load the desktop tray: " << reason << "\n";
    return nullptr;
  }
  return reinterpret_cast<DesktopFrontEndMaker>(entry);
}
