#include <sys/stat.h>

#include <cstdlib>

#include "app/app_data.h"

namespace {

const char* non_empty_env(const char* name) {
  const char* value = std::getenv(name);
  return (value != nullptr && value[0] != '\0') ? value : nullptr;
}

}  // namespace

std::optional<std::string> app_data_base() {
  if (const char* app_data = non_empty_env("APPDATA")) return std::string(app_data);
  if (const char* config = non_empty_env("XDG_CONFIG_HOME")) return std::string(config);
  if (const char* home = non_empty_env("HOME")) return std::string(home) + "/.config";
  return std::nullopt;
}

char path_separator() { return '/'; }

void make_directory(const std::string& path) { ::mkdir(path.c_str(), 0700); }
