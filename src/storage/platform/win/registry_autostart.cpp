#include "storage/platform/win/registry_autostart.h"

#include <windows.h>

#include <memory>

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kValueName[] = "Tovik";

// The Run key opened (created if needed) for writing, or nullptr.
HKEY open_for_write() {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_WRITE, nullptr, &key, nullptr);
  return result == ERROR_SUCCESS ? key : nullptr;
}

}  // namespace

std::string registry_autostart_data(const std::string& exe_path) { return "\"" + exe_path + "\""; }

bool RegistryAutostart::query() const {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  bool found =
      RegQueryValueExA(key, kValueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return found;
}

void RegistryAutostart::write(const std::string& exe_path) {
  HKEY key = open_for_write();
  if (key == nullptr) return;
  std::string data = registry_autostart_data(exe_path);
  // The stored size includes the terminating NUL.
  RegSetValueExA(key, kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                 static_cast<DWORD>(data.size() + 1));
  RegCloseKey(key);
}

void RegistryAutostart::remove() {
  HKEY key = open_for_write();
  if (key == nullptr) return;
  RegDeleteValueA(key, kValueName);
  RegCloseKey(key);
}

std::unique_ptr<AutostartEntry> make_system_autostart() {
  return std::make_unique<RegistryAutostart>();
}

std::string running_executable_path() {
  char buffer[MAX_PATH] = {};
  DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  return std::string(buffer, length < MAX_PATH ? length : 0);
}
