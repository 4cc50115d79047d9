#include "app/atomic_file.h"

#include <cstdio>

namespace {

// Writes, flushes and closes; the stream is closed in every case.
bool write_and_close(std::FILE* file, const std::string& text) {
  bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  ok = std::fflush(file) == 0 && ok;
  ok = ok && sync_file_to_disk(file);
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

}  // namespace

bool write_text_file_atomically(const std::string& path, const std::string& text) {
  // A fixed temporary name: a crash leaves at most this one stale file, which
  // the next write reuses.
  const std::string temp = path + ".tmp";
  std::FILE* file = std::fopen(temp.c_str(), "w");
  if (file == nullptr) return false;
  if (write_and_close(file, text) && replace_file(temp, path)) return true;
  std::remove(temp.c_str());
  return false;
}
