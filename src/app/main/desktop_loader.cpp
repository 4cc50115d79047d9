#include "app/main/desktop_loader.h"

#include <dlfcn.h>

#include <iostream>

#include "app/main/desktop_module.h"

DesktopFrontEndMaker load_desktop_front_end(const std::string& executable_path) {
  const std::string path =
      executable_path.substr(0, executable_path.rfind('/') + 1) + kDesktopModuleFile;
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  void* entry = module != nullptr ? dlsym(module, kDesktopModuleEntry) : nullptr;
  if (entry == nullptr) {
    // dlerror names the file and the reason.
    std::cerr << "Tovik: cannot load the desktop tray: " << dlerror() << "\n";
    return nullptr;
  }
  return reinterpret_cast<DesktopFrontEndMaker>(entry);
}
