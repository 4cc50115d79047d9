#include "storage/autostart.h"

bool autostart_enabled(const AutostartEntry& entry) { return entry.query(); }

void set_autostart(AutostartEntry& entry, bool enable, const std::string& exe_path) {
  if (enable) {
    // An entry that starts nothing would only confuse the session manager.
    if (!exe_path.empty()) entry.write(exe_path);
  } else {
    entry.remove();
  }
}

bool autostart_enabled() {
  try {
    return autostart_enabled(*make_system_autostart());
  } catch (...) {
    return false;
  }
}

void set_autostart(bool enable) {
  try {
    std::unique_ptr<AutostartEntry> entry = make_system_autostart();
    set_autostart(*entry, enable, enable ? running_executable_path() : std::string());
  } catch (...) {
    // The choice then holds for this run only.
  }
}
