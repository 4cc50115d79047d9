#include <windows.h>

#include "app/app_data.h"
#include "app/file_io.h"
#include "app/platform/win/wide_string.h"

namespace {

// The variable's value at any length; empty when it is not set.
std::wstring environment_variable(const wchar_t* name) {
  std::wstring value(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetEnvironmentVariableW(name, &value[0], static_cast<DWORD>(value.size()));
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    value.resize(length);  // too small: length is the size needed
  }
}

}  // namespace

std::optional<std::string> app_data_base() {
  const std::wstring value = environment_variable(L"APPDATA");
  if (value.empty()) return std::nullopt;
  return narrow(value);
}

char path_separator() { return '\\'; }

void make_directory(const std::string& path) {
  CreateDirectoryW(native_path(path).c_str(), nullptr);
}
