#include <unistd.h>

#include <cstdio>

#include "app/atomic_file.h"

bool sync_file_to_disk(std::FILE* file) { return ::fsync(::fileno(file)) == 0; }

bool replace_file(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}
