#pragma once

#include <string>

#include "storage/autostart.h"

// The XDG autostart entry "Tovik.desktop" in autostart_folder(), looked up
// again at every call.
class DesktopFileAutostart : public AutostartEntry {
 public:
  bool query() const override;
  void write(const std::string& exe_path) override;
  void remove() override;
};
