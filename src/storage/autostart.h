#pragma once

#include <memory>
#include <string>

// The per-user "start at log-in" entry named "Tovik". Real ones: the HKCU Run
// value on Windows, an XDG autostart desktop file on Linux; tests use
// MemoryAutostart.
class AutostartEntry {
 public:
  virtual ~AutostartEntry() = default;

  // True when the entry exists; its content is not looked at.
  virtual bool query() const = 0;

  // Creates or replaces the entry so that it starts `exe_path` (quoted, no
  // arguments). Failures are not reported.
  virtual void write(const std::string& exe_path) = 0;

  // Removes the entry; a missing entry is not an error.
  virtual void remove() = 0;
};

// The real entry of this platform.
std::unique_ptr<AutostartEntry> make_system_autostart();

// Full path of the running executable, or "" when it cannot be read.
std::string running_executable_path();

// Whether `entry` exists.
bool autostart_enabled(const AutostartEntry& entry);

// Writes `entry` for `exe_path` when enabling (nothing when the path is
// empty), removes it otherwise.
void set_autostart(AutostartEntry& entry, bool enable, const std::string& exe_path);

// The system entry: whether it exists.
bool autostart_enabled();

// The system entry: written for the running executable, or removed.
void set_autostart(bool enable);
