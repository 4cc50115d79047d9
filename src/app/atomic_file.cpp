#include "app/atomic_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "app/file_io.h"
#include "app/logs.h"

namespace {

// Names already taken (by a crashed run or another process) are skipped.
constexpr int kNameAttempts = 8;

// "<path>.<8 hex digits>-<n>.tmp": random per process, counted per call, so
// two processes or two threads never write the same temporary file.
std::string temporary_name(const std::string& path) {
  static const unsigned process_tag = std::random_device()();
  static std::atomic<unsigned> counter{0};
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".%08x-%u.tmp", process_tag, counter.fetch_add(1));
  return path + suffix;
}

void report_failure(const std::string& path, const char* reason, int error) {
  std::string line = "storage: save " + path + ": " + reason;
  if (error != 0) line += std::string(" (") + std::strerror(error) + ")";
  debug_log(line.c_str());
}

// Writes, flushes and closes; the stream is closed in every case.
bool write_and_close(std::FILE* file, const std::string& text) {
  bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  ok = std::fflush(file) == 0 && ok;
  ok = ok && sync_file_to_disk(file);
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

std::FILE* create_temporary(const std::string& path, std::string& temp) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    temp = temporary_name(path);
    if (std::FILE* file = create_new_file(temp)) return file;
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

}  // namespace

bool write_text_file_atomically(const std::string& path, const std::string& text) {
  std::string temp;
  std::FILE* file = create_temporary(path, temp);
  if (file == nullptr) {
    report_failure(path, "cannot create a temporary file", errno);
    return false;
  }
  if (!write_and_close(file, text)) {
    const int error = errno;
    remove_file(temp);
    report_failure(path, "cannot write the temporary file", error);
    return false;
  }
  if (!replace_file(temp, path)) {
    const int error = errno;
    remove_file(temp);
    report_failure(path, "cannot replace the file", error);
    return false;
  }
  remove_file(path + ".tmp");  // left by an older version
  return true;
}
