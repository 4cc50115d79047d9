#include "app/app_data.h"

std::string join_path(const std::string& base, const std::string& name) {
  return base + path_separator() + name;
}

std::optional<std::string> tovik_folder() {
  std::optional<std::string> base = app_data_base();
  if (!base) return std::nullopt;
  return join_path(*base, "Tovik");
}
