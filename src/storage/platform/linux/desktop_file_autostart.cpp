#include "storage/platform/linux/desktop_file_autostart.h"

#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <optional>

#include "app/atomic_file.h"
#include "storage/platform/linux/desktop_entry.h"

namespace {

const char kEntryName[] = "Tovik.desktop";

std::optional<std::string> entry_path() {
  std::optional<std::string> folder = autostart_folder();
  if (!folder) return std::nullopt;
  return *folder + "/" + kEntryName;
}

// Creates the folder and its missing parents (private to the user).
void make_folders(const std::string& folder) {
  for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
       slash = folder.find('/', slash + 1)) {
    ::mkdir(folder.substr(0, slash).c_str(), 0700);
  }
  ::mkdir(folder.c_str(), 0700);
}

}  // namespace

bool DesktopFileAutostart::query() const {
  std::optional<std::string> path = entry_path();
  struct stat info;
  return path && ::stat(path->c_str(), &info) == 0;
}

void DesktopFileAutostart::write(const std::string& exe_path) {
  std::optional<std::string> folder = autostart_folder();
  if (!folder) return;
  make_folders(*folder);
  write_text_file_atomically(*folder + "/" + kEntryName, desktop_entry_text(exe_path));
}

void DesktopFileAutostart::remove() {
  if (std::optional<std::string> path = entry_path()) std::remove(path->c_str());
}

std::unique_ptr<AutostartEntry> make_system_autostart() {
  return std::make_unique<DesktopFileAutostart>();
}

std::string running_executable_path() {
  char buffer[PATH_MAX];
  ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
  if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer) return "";
  return std::string(buffer, static_cast<std::size_t>(length));
}
