#pragma once

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace test {

// Sets (or, with nullopt, removes) an environment variable for the scope.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, std::optional<std::string> value);
  ~ScopedEnv();

 private:
  std::string name_;
  std::optional<std::string> saved_;
};

// A fresh folder under the system's temporary folder, removed at scope end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A temporary APPDATA: the base folder is a TempDir, the Tovik folder inside
// it exists only when asked for.
class AppDataScope {
 public:
  explicit AppDataScope(bool create_tovik_folder = true);
  std::string tovik_path(const std::string& file = "") const;

 private:
  TempDir dir_;
  ScopedEnv env_;
};

inline std::optional<std::string> read_file_bytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), {});
}

inline void write_file_bytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The platform's line end in text-mode files.
#ifdef _WIN32
inline const char* text_line_end() { return "\r\n"; }
#else
inline const char* text_line_end() { return "\n"; }
#endif

// The lines of a file in the Tovik folder (a log), read as text: without
// their line ends; none when the file does not exist.
inline std::vector<std::string> log_lines(const AppDataScope& app_data, const std::string& file) {
  std::vector<std::string> lines;
  std::ifstream text(app_data.tovik_path(file));
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  return lines;
}

// Polls until the predicate holds or the (generous) bound passes.
inline bool wait_until(const std::function<bool()>& predicate,
                       std::chrono::milliseconds bound = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!predicate()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

}  // namespace test

// Skips the test on a developer's partial machine when the tool is not
// installed; fails it under CI, where nothing may be skipped.
#define TOVIK_REQUIRE_TOOL(tool)                                             \
  if (std::system("command -v " tool " >/dev/null 2>&1") != 0) {             \
    if (const char* ci = std::getenv("CI"); ci && std::string(ci) == "true") \
      FAIL() << tool " is not installed";                                    \
    GTEST_SKIP() << tool " is not installed";                                \
  }
