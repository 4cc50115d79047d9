#include "storage/platform/win/registry_autostart.h"

#include <windows.h>

#include <memory>

#include "app/platform/win/wide_string.h"

namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kValueName[] = L"Tovik";
// The longest path Windows can name (with the long-path prefix).
constexpr DWORD kMaxModulePath = 32768;

// The Run key opened (created if needed) for writing, or nullptr.
HKEY open_for_write() {
  HKEY key = nullptr;
  LONG result = RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_WRITE, nullptr, &key, nullptr);
  return result == ERROR_SUCCESS ? key : nullptr;
}

}  // namespace

std::string registry_autostart_data(const std::string& exe_path) { return "\"" + exe_path + "\""; }

bool RegistryAutostart::query() const {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  bool found =
      RegQueryValueExW(key, kValueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return found;
}

void RegistryAutostart::write(const std::string& exe_path) {
  HKEY key = open_for_write();
  if (key == nullptr) return;
  // Wide, so that a path outside the ANSI code page still names the program.
  const std::wstring data = widen(registry_autostart_data(exe_path));
  // The stored size includes the terminating NUL.
  RegSetValueExW(key, kValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                 static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

void RegistryAutostart::remove() {
  HKEY key = open_for_write();
  if (key == nullptr) return;
  RegDeleteValueW(key, kValueName);
  RegCloseKey(key);
}

std::unique_ptr<AutostartEntry> make_system_autostart() {
  return std::make_unique<RegistryAutostart>();
}

std::string running_executable_path() {
  // MAX_PATH is only where the search starts: a program may live deeper.
  for (DWORD size = MAX_PATH; size <= kMaxModulePath; size *= 2) {
    std::wstring buffer(size, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, &buffer[0], size);
    if (length == 0) return "";
    if (length < size) return narrow(buffer.substr(0, length));
  }
  return "";
}
