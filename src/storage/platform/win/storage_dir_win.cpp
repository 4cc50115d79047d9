#include <windows.h>

#include "app/app_data.h"
#include "storage/storage_dir.h"

std::string storage_dir() {
  // A missing (or, like the 260-byte buffer of old, too long) APPDATA leaves
  // the base empty: the folder is then "\Tovik" at the root of the drive.
  std::string folder = app_data_base().value_or("") + "\\Tovik";
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}
