#pragma once

#include <cstdlib>

// Points the storage base at a folder that does not exist, so fuzzed code
// never writes logs or files into the real user's folders.
inline void fuzz_without_logs() { setenv("APPDATA", "/nonexistent/tovik-fuzz", 1); }
