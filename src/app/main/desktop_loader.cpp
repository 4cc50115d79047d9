#include "app/main/desktop_loader.h"

#include <dlfcn.h>

#include <iostream>

#include "app/main/desktop_module.h"

namespace {

// Beside the program in a build tree; in lib/tovik when installed.
void* open_desktop_module(const std::string& executable_path) {
  const std::string folder = executable_path.substr(0, executable_path.rfind('/') + 1);
  void* module = nullptr;
  for (const char* place : {"", kDesktopModuleInstalledFolder}) {
    const std::string path = folder + place + kDesktopModuleFile;
    module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module != nullptr) break;
  }
  return module;
}

}  // namespace

DesktopFrontEndMaker load_desktop_front_end(const std::string& executable_path) {
  void* module = open_desktop_module(executable_path);
  void* entry = module != nullptr ? dlsym(module, kDesktopModuleEntry) : nullptr;
  if (entry == nullptr) {
    // dlerror names the last file tried and the reason.
    std::cerr << "Tovik: cannot load the desktop tray: " << dlerror() << "\n";
    return nullptr;
  }
  return reinterpret_cast<DesktopFrontEndMaker>(entry);
}
