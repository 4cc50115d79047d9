#include <optional>

#include "app/app_data.h"
#include "storage/storage_dir.h"

std::string storage_dir() {
  // Without any base there is no per-user folder: never fall back on "/Tovik".
  std::optional<std::string> folder = tovik_folder();
  if (!folder) return "";
  make_directory(*folder);
  return *folder;
}
