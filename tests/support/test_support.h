#pragma once

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
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
  const std::string& base() const { return dir_.path(); }
  std::string tovik_path(const std::string& file = "") const;

 private:
  TempDir dir_;
  ScopedEnv env_;
};

inline std::optional<std::string> read_file_bytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
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

// The lines of a file in the Tovik folder (a log), without their line ends;
// none when the file does not exist.
inline std::vector<std::string> log_lines(const AppDataScope& app_data, const std::string& file) {
  std::vector<std::string> lines;
  const std::string text = read_file_bytes(app_data.tovik_path(file)).value_or(""),
                    end = text_line_end();
  for (std::size_t pos = 0, next = 0; pos < text.size(); pos = next + end.size()) {
    next = std::min(text.find(end, pos), text.size());
    lines.push_back(text.substr(pos, next - pos));
  }
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

// Why a rig cannot run here (a tool that is not installed), or nothing.
inline std::optional<std::string> missing_tool(const std::string& tool) {
  if (std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0) return std::nullopt;
  return tool + " is not installed";
}

// True under CI, where a missing rig is a failure, not a skip.
inline bool in_ci() { return std::getenv("CI") && std::string(std::getenv("CI")) == "true"; }

}  // namespace test

// Skips the test on a developer's partial machine, fails it under CI.
#define TOVIK_REQUIRE_TOOL(tool)                             \
  if (const auto tovik_missing = test::missing_tool(tool)) { \
    if (test::in_ci()) FAIL() << *tovik_missing;             \
    GTEST_SKIP() << *tovik_missing;                          \
  }
