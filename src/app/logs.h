#pragma once

#include <cstdarg>
#include <cstddef>

#if defined(__MINGW32__)
#define TOVIK_PRINTF(fmt_index, args_index) \
  __attribute__((format(gnu_printf, fmt_index, args_index)))
#else
#define TOVIK_PRINTF(fmt_index, args_index) __attribute__((format(printf, fmt_index, args_index)))
#endif

// The three diagnostic logs in the Tovik folder. Each call appends one line
// (the text and a line end: CR LF on Windows, LF elsewhere) by opening,
// writing, flushing and closing the file; the writers of one process take
// turns, so lines from several threads never interleave or overwrite each
// other. They never create the folder and never report a failure.
// Whatever arrives, the logs stay small: a line repeated within a second is
// written once and then summed up ("Repeated N more times: <line>") when its
// burst ends; a log that reaches 512 KiB becomes "<name>.old.log" (replacing
// the one before) and starts afresh.
void debug_log(const char* text);
void connection_log(const char* text);
void discovery_log(const char* text);

// Writes the summaries of bursts that have ended (all of them with `all`,
// before the program stops); the listen loops call it now and then, as a
// burst's end is otherwise noticed only at the log's next line.
void flush_log_bursts(bool all = false);

// Size of the buffer that formatted log lines are composed in; longer lines
// are cut to kLogLineSize - 1 bytes.
constexpr std::size_t kLogLineSize = 512;

// printf-style composition into a kLogLineSize buffer, then one log line.
void connection_logf(const char* format, ...) TOVIK_PRINTF(1, 2);
void discovery_logf(const char* format, ...) TOVIK_PRINTF(1, 2);
void debug_logf(const char* format, ...) TOVIK_PRINTF(1, 2);

// Formats like snprintf into out[kLogLineSize]; always NUL-terminated.
void format_log_line(char (&out)[kLogLineSize], const char* format, va_list args)
    TOVIK_PRINTF(2, 0);
