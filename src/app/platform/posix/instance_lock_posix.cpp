#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>

#include "app/app_data.h"
#include "app/instance_lock.h"

namespace {

constexpr char kLockFile[] = "tovik.lock";

// $XDG_RUNTIME_DIR (per user and per login, cleared at logout), else the
// storage folder; nothing without either.
std::optional<std::string> lock_folder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') return std::string(runtime);
  std::optional<std::string> folder = tovik_folder();
  if (folder) make_directory(*folder);
  return folder;
}

}  // namespace

InstanceLock::~InstanceLock() {
  if (handle_ != -1) ::close(static_cast<int>(handle_));
}

bool InstanceLock::claim() {
  if (handle_ != -1) return true;
  const std::optional<std::string> folder = lock_folder();
  if (!folder) return true;
  const std::string path = join_path(*folder, kLockFile);
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return true;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held_elsewhere = errno == EWOULDBLOCK;
    ::close(fd);
    return !held_elsewhere;
  }
  handle_ = fd;
  return true;
}
