#include <io.h>
#include <windows.h>

#include <cstdio>

#include "app/atomic_file.h"

bool sync_file_to_disk(std::FILE* file) { return _commit(_fileno(file)) == 0; }

bool replace_file(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
