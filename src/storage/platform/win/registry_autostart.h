#pragma once

#include <string>

#include "storage/autostart.h"

// The value "Tovik" under HKCU "Software\Microsoft\Windows\CurrentVersion\Run":
// REG_SZ holding the quoted executable path.
class RegistryAutostart : public AutostartEntry {
 public:
  bool query() const override;
  void write(const std::string& exe_path) override;
  void remove() override;
};

// The value's data: the path between double quotes.
std::string registry_autostart_data(const std::string& exe_path);
