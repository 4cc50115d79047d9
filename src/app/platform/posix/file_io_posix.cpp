#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "app/file_io.h"

NativePath native_path(const std::string& path) { return path; }

std::FILE* open_file(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

std::FILE* create_new_file(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "w");
  if (file == nullptr) ::close(fd);
  return file;
}

std::optional<std::uint64_t> file_size(std::FILE* file) {
  struct stat info;
  if (::fstat(::fileno(file), &info) != 0 || info.st_size < 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

bool remove_file(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool replace_file(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool sync_file_to_disk(std::FILE* file) { return ::fsync(::fileno(file)) == 0; }
