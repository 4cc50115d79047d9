#include "app/logs.h"

#include <cstdio>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>

#include "app/app_data.h"

namespace {

// Append mode is not atomic everywhere (the Windows C runtime seeks to the
// end, then writes), so the writers of one process take turns.
std::mutex& append_mutex() {
  static std::mutex mutex;
  return mutex;
}

void append_line(const char* file_name, const char* text) {
  std::optional<std::string> folder = tovik_folder();
  if (!folder || text == nullptr) return;
  std::lock_guard<std::mutex> turn(append_mutex());
  // Text mode: the platform writes the line end (CR LF on Windows).
  std::ofstream file(join_path(*folder, file_name), std::ios::out | std::ios::app);
  file << text << std::endl;
}

}  // namespace

void debug_log(const char* text) { append_line("debug.log", text); }
void connection_log(const char* text) { append_line("connection.log", text); }
void discovery_log(const char* text) { append_line("discovery.log", text); }

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
