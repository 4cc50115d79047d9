#include "app/app_data.h"
#include "storage/storage_dir.h"

std::string storage_dir() {
  // A missing APPDATA leaves the base empty: the folder is then "\Tovik" at
  // the root of the drive. Any length and any characters are taken.
  std::string folder = app_data_base().value_or("") + "\\Tovik";
  make_directory(folder);
  return folder;
}
