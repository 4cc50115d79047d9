#include "storage/storage_dir.h"

#include <cstdio>

#include "app/app_data.h"

std::string read_text_file(const std::string& path) {
  if (path.empty()) return "";
  std::FILE* file = std::fopen(path.c_str(), "r");
  if (file == nullptr) return "";
  std::string text;
  char chunk[256];
  while (std::fgets(chunk, sizeof chunk, file) != nullptr) text += chunk;
  std::fclose(file);
  return text;
}

std::string storage_file(const std::string& name) {
  std::string folder = storage_dir();
  return folder.empty() ? "" : join_path(folder, name);
}
