#pragma once

#include <string>

// Writes `text` in text mode (CR LF line ends on Windows) to a temporary file
// of a name no other writer uses, beside `path`, flushes it to disk and
// renames it over `path`. A stale temporary file of the old fixed name
// (`path` + ".tmp") is removed on success and never stands in the way. On
// any failure the old file is left untouched, the temporary file is removed,
// one line "storage: save <path>: <reason>" goes to debug.log and false is
// returned.
bool write_text_file_atomically(const std::string& path, const std::string& text);
