#include "app/logs.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/app_data.h"
#include "app/file_io.h"
#include "app/log_bursts.h"

namespace {

constexpr long kLogCapBytes = 512 * 1024;

struct LogFile {
  const char* name;
  const char* previous;  // what the log becomes when it reaches its cap
  LogBursts bursts;
  std::string folder;  // where the bursts were seen (APPDATA may change)
};

// debug.log, connection.log, discovery.log.
LogFile (&logs())[3] {
  static LogFile files[3] = {{"debug.log", "debug.old.log", {}, {}},
                             {"connection.log", "connection.old.log", {}, {}},
                             {"discovery.log", "discovery.old.log", {}, {}}};
  return files;
}

// Append mode is not atomic everywhere (the Windows C runtime seeks to the
// end, then writes), so the writers of one process take turns; the lock
// also guards the burst records.
std::mutex& append_mutex() {
  static std::mutex mutex;
  return mutex;
}

std::int64_t now_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// The one place a log is opened. Text mode: the platform writes the line
// end (CR LF on Windows).
std::FILE* open_log(const std::string& path) { return open_file(path, "a"); }

// Appends the lines; a line that would take the log past its cap first
// turns it into the previous file (replacing the one before), so a log and
// its previous file never hold more than twice the cap.
void write_lines(const std::string& folder, const LogFile& log,
                 const std::vector<std::string>& lines) {
  if (lines.empty()) return;
  const std::string path = join_path(folder, log.name);
  std::FILE* file = open_log(path);
  for (const std::string& line : lines) {
    if (file == nullptr) return;
    const long needed = static_cast<long>(line.size()) + 2;
    if (std::fseek(file, 0, SEEK_END) == 0 && std::ftell(file) + needed > kLogCapBytes) {
      std::fclose(file);
      replace_file(path, join_path(folder, log.previous));
      file = open_log(path);
      if (file == nullptr) return;
    }
    std::fputs(line.c_str(), file);
    std::fputc('\n', file);
  }
  std::fclose(file);
}

void append_line(LogFile& log, const char* text) {
  std::optional<std::string> folder = tovik_folder();
  if (!folder || text == nullptr) return;
  std::lock_guard<std::mutex> turn(append_mutex());
  if (log.folder != *folder) {
    log.bursts = LogBursts();
    log.folder = *folder;
  }
  write_lines(*folder, log, log.bursts.on_line(text, now_ms()));
}

}  // namespace

void debug_log(const char* text) { append_line(logs()[0], text); }
void connection_log(const char* text) { append_line(logs()[1], text); }
void discovery_log(const char* text) { append_line(logs()[2], text); }

void flush_log_bursts(bool all) {
  // The loops call this on every pass, a flood makes passes cheap and many.
  static std::atomic<std::int64_t> last_ms{0};
  const std::int64_t now = now_ms();
  if (!all && now - last_ms.load() < LogBursts::kWindowMs / 2) return;
  last_ms = now;
  std::optional<std::string> folder = tovik_folder();
  if (!folder) return;
  std::lock_guard<std::mutex> turn(append_mutex());
  for (LogFile& log : logs()) {
    if (log.folder == *folder) write_lines(*folder, log, log.bursts.flush(now, all));
  }
}

void format_log_line(char (&out)[kLogLineSize], const char* format, va_list args) {
  int written = std::vsnprintf(out, kLogLineSize, format, args);
  if (written < 0) out[0] = '\0';
}

void connection_logf(const char* format, ...) {
  char line[kLogLineSize];
  va_list args;
  va_start(args, format);
  format_log_line(line, format, args);
  va_end(args);
  connection_log(line);
}

void debug_logf(const char* format, ...) {
  char line[kLogLineSize];
  va_list args;
  va_start(args, format);
  format_log_line(line, format, args);
  va_end(args);
  debug_log(line);
}

void discovery_logf(const char* format, ...) {
  char line[kLogLineSize];
  va_list args;
  va_start(args, format);
  format_log_line(line, format, args);
  va_end(args);
  discovery_log(line);
}
