#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

// Files named by UTF-8 paths. On Windows every call goes through the wide API
// with the long-path prefix, so folders outside the ANSI code page (a profile
// named in Chinese on a Western system) and paths beyond 260 characters work;
// elsewhere the path's bytes are used as they are. File contents are never
// converted.

#ifdef _WIN32
using NativePath = std::wstring;
#else
using NativePath = std::string;
#endif

// The path as the platform's own file calls take it (UTF-16, absolute and
// prefixed with \\?\ on Windows).
NativePath native_path(const std::string& path);

// std::fopen with the same mode letters; errno tells why it failed.
std::FILE* open_file(const std::string& path, const char* mode);

// Creates `path` for writing in text mode, private to the user where the
// system has owners; null when anything is in its place already or on any
// failure.
std::FILE* create_new_file(const std::string& path);

// The size in bytes of an open file; nothing when the system cannot say.
std::optional<std::uint64_t> file_size(std::FILE* file);

// Removes a file (never a folder); false when nothing was removed.
bool remove_file(const std::string& path);

// Renames `from` over `to`, replacing an existing file `to`.
bool replace_file(const std::string& from, const std::string& to);

// Pushes a written stream's data to the disk.
bool sync_file_to_disk(std::FILE* file);
