#include <windows.h>

#include "app/app_data.h"

std::optional<std::string> app_data_base() {
  char buffer[MAX_PATH] = {};
  DWORD length = GetEnvironmentVariableA("APPDATA", buffer, MAX_PATH);
  // 0: not set; >= MAX_PATH: longer than the buffer, so nothing was copied.
  if (length == 0 || length >= MAX_PATH) return std::nullopt;
  return std::string(buffer, length);
}

char path_separator() { return '\\'; }

void make_directory(const std::string& path) { CreateDirectoryA(path.c_str(), nullptr); }
