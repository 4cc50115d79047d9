#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>

// A broken invariant is a finding: abort so that libFuzzer keeps the input.
inline void check(bool ok) {
  if (!ok) std::abort();
}

inline std::string as_text(const std::uint8_t* data, std::size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// Points the storage base at a folder that does not exist, so fuzzed code
// never writes logs or files into the real user's folders.
inline void fuzz_without_logs() { setenv("APPDATA", "/nonexistent/tovik-fuzz", 1); }
