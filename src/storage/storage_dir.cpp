#include "storage/storage_dir.h"

#include <cerrno>
#include <cstdio>
#include <optional>

#include "app/app_data.h"
#include "app/file_io.h"
#include "app/logs.h"

namespace {

// Renames the file to <path>.bad and says so in debug.log.
void set_aside(const std::string& path, const std::string& why) {
  const std::string bad = path + ".bad";
  const bool moved = replace_file(path, bad);
  const std::string line = "storage: read " + path + ": " + why +
                           (moved ? "; set aside as " + bad : "; it could not be set aside");
  debug_log(line.c_str());
}

// The text, or nothing when the file is too large or a read fails. The size
// is checked first, so a huge file costs neither time nor memory.
std::optional<std::string> read_capped(std::FILE* file, std::optional<std::uint64_t> size) {
  if (size && *size > kMaxStoredFileBytes) return std::nullopt;
  std::string text;
  char chunk[256];
  while (std::fgets(chunk, sizeof chunk, file) != nullptr) {
    text += chunk;
    if (text.size() > kMaxStoredFileBytes) return std::nullopt;  // it grew meanwhile
  }
  if (std::ferror(file)) return std::nullopt;
  return text;
}

}  // namespace

std::string read_text_file(const std::string& path) {
  if (path.empty()) return "";
  std::FILE* file = open_file(path, "r");
  if (file == nullptr) {
    // Missing (or its folder is): nothing to keep.
    if (errno != ENOENT && errno != ENOTDIR) set_aside(path, "cannot be opened");
    return "";
  }
  const std::optional<std::uint64_t> size = file_size(file);
  std::optional<std::string> text = read_capped(file, size);
  const bool read_error = !text && std::ferror(file);
  std::fclose(file);
  if (text) return *text;
  if (read_error) {
    set_aside(path, "cannot be read");
  } else {
    set_aside(path, std::to_string(size.value_or(0)) + " bytes, more than the " +
                        std::to_string(kMaxStoredFileBytes) + " allowed");
  }
  return "";
}

std::string storage_file(const std::string& name) {
  std::string folder = storage_dir();
  return folder.empty() ? "" : join_path(folder, name);
}
