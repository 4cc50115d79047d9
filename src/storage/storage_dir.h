#pragma once

#include <string>

// The Tovik storage folder, created if missing (a failure is not reported).
// Windows: %APPDATA% + "\Tovik" ("\Tovik" when APPDATA is missing or longer
// than 259 characters). Linux: the Tovik folder under app_data_base(), or ""
// when there is no base at all, in which case callers read and write nothing.
std::string storage_dir();

// The whole file read in text mode (CR LF becomes LF on Windows), line by line
// in chunks of at most 255 bytes, each chunk up to its first NUL. A missing,
// unreadable or empty file gives "".
std::string read_text_file(const std::string& path);

// The path of `name` inside the storage folder, or "" when there is none.
std::string storage_file(const std::string& name);
