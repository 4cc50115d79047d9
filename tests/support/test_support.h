#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace test {

// Sets (or, with nullopt, removes) an environment variable for the scope.
class ScopedEnv {
 public:
  ScopedEnv(std::string name, std::optional<std::string> value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> saved_;
};

// A fresh folder under the system's temporary folder, removed at scope end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
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

std::optional<std::string> read_file_bytes(const std::string& path);
void write_file_bytes(const std::string& path, const std::string& bytes);
bool file_exists(const std::string& path);

// The lines of a file in the Tovik folder (a log), without their line ends;
// none when the file does not exist.
std::vector<std::string> log_lines(const AppDataScope& app_data, const std::string& file);

// The platform's line end in text-mode files.
const char* text_line_end();

// Polls until the predicate holds or the (generous) bound passes.
bool wait_until(const std::function<bool()>& predicate,
                std::chrono::milliseconds bound = std::chrono::seconds(10));

// Why a rig cannot run here (a tool that is not installed), or nothing.
std::optional<std::string> missing_tool(const std::string& tool);
// True under CI, where a missing rig is a failure, not a skip.
bool in_ci();

}  // namespace test

// Skips the test on a developer's partial machine, fails it under CI.
#define TOVIK_REQUIRE_TOOL(tool)                             \
  if (const auto tovik_missing = test::missing_tool(tool)) { \
    if (test::in_ci()) FAIL() << *tovik_missing;             \
    GTEST_SKIP() << *tovik_missing;                          \
  }
