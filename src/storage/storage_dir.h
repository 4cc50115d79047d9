#pragma once

#include <cstddef>
#include <string>

// The Tovik storage folder, created if missing (a failure is not reported).
// Windows: %APPDATA% + "\Tovik", whatever its length and characters ("\Tovik"
// when APPDATA is missing). Linux: the Tovik folder under app_data_base(), or
// "" when there is no base at all, in which case callers read and write
// nothing.
std::string storage_dir();

// The largest settings or paired-devices file that is read. What Tovik writes
// is a few hundred bytes; anything near this is not ours.
constexpr std::size_t kMaxStoredFileBytes = 64 * 1024;

// One of our files (settings.json, paired_devices.json) read whole in text
// mode (CR LF becomes LF on Windows), line by line in chunks of at most 255
// bytes, each chunk up to its first NUL. A missing or empty file gives "". A
// file larger than kMaxStoredFileBytes, or one that is there but cannot be
// read, is set aside first: renamed to <path>.bad (replacing an older one),
// with one line in debug.log, so that the defaults the caller then uses never
// overwrite what the user had. It gives "" too.
std::string read_text_file(const std::string& path);

// The path of `name` inside the storage folder, or "" when there is none.
std::string storage_file(const std::string& name);
