#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cwchar>

#include "app/file_io.h"
#include "app/platform/win/wide_string.h"

namespace {

constexpr wchar_t kLongPathPrefix[] = L"\\\\?\\";

bool starts_with(const std::wstring& text, const wchar_t* prefix) {
  return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

// The absolute form of `path` (drive-relative and relative paths resolved
// against the current folder); `path` itself when the system cannot say.
std::wstring full_path(const std::wstring& path) {
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
  if (length == 0 || length >= size) return path;
  full.resize(length);
  return full;
}

// errno for the last failed system call, so that callers report one way.
int errno_of_last_error() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return EACCES;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      return EEXIST;
    default:
      return EIO;
  }
}

}  // namespace

NativePath native_path(const std::string& path) {
  const std::wstring wide = widen(path);
  if (wide.empty() || starts_with(wide, kLongPathPrefix)) return wide;
  // The prefix lifts the 260-character limit; it wants an absolute path.
  const std::wstring full = full_path(wide);
  if (starts_with(full, L"\\\\")) return std::wstring(kLongPathPrefix) + L"UNC" + full.substr(1);
  return kLongPathPrefix + full;
}

std::FILE* open_file(const std::string& path, const char* mode) {
  return _wfopen(native_path(path).c_str(), widen(mode).c_str());
}

std::FILE* create_new_file(const std::string& path) {
  const int fd = _wopen(native_path(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_TEXT,
                        _S_IREAD | _S_IWRITE);
  if (fd < 0) return nullptr;
  std::FILE* file = _wfdopen(fd, L"w");
  if (file == nullptr) _close(fd);
  return file;
}

std::optional<std::uint64_t> file_size(std::FILE* file) {
  struct _stati64 info;
  if (_fstati64(_fileno(file), &info) != 0 || info.st_size < 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

bool remove_file(const std::string& path) { return DeleteFileW(native_path(path).c_str()) != 0; }

bool replace_file(const std::string& from, const std::string& to) {
  if (MoveFileExW(native_path(from).c_str(), native_path(to).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
    return true;
  }
  errno = errno_of_last_error();
  return false;
}

bool sync_file_to_disk(std::FILE* file) { return _commit(_fileno(file)) == 0; }
