#pragma once

#include <cstdio>
#include <string>

// Writes `text` in text mode (CR LF line ends on Windows) to `path` + ".tmp",
// flushes it to disk and renames it over `path`. On any failure the old file is
// left untouched, the temporary file is removed and false is returned.
bool write_text_file_atomically(const std::string& path, const std::string& text);

// Platform half: pushes a written stream's data to the disk.
bool sync_file_to_disk(std::FILE* file);

// Platform half: renames `from` over `to`, replacing an existing `to`.
bool replace_file(const std::string& from, const std::string& to);
