#include "support/test_support.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

#include "app/app_data.h"

namespace test {
namespace {

std::optional<std::string> get_env(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

void set_env(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
  // The product reads the Win32 environment block; keep the CRT copy in step too.
  SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
  _putenv_s(name.c_str(), value ? value->c_str() : "");
#else
  if (value) {
    setenv(name.c_str(), value->c_str(), 1);
  } else {
    unsetenv(name.c_str());
  }
#endif
}

}  // namespace

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value)
    : name_(std::move(name)), saved_(get_env(name_)) {
  set_env(name_, value);
}

ScopedEnv::~ScopedEnv() { set_env(name_, saved_); }

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  std::ostringstream name;
  name << "tovik-test-" << random() << "-" << counter++;
  std::filesystem::path path = std::filesystem::temp_directory_path() / name.str();
  std::filesystem::create_directories(path);
  path_ = path.string();
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

AppDataScope::AppDataScope(bool create_tovik_folder) : env_("APPDATA", dir_.path()) {
  if (create_tovik_folder) std::filesystem::create_directories(tovik_path());
}

std::string AppDataScope::tovik_path(const std::string& file) const {
  std::string folder = join_path(base(), "Tovik");
  return file.empty() ? folder : join_path(folder, file);
}

std::optional<std::string> read_file_bytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

void write_file_bytes(const std::string& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << bytes;
}

bool file_exists(const std::string& path) { return std::filesystem::exists(path); }

std::vector<std::string> log_lines(const AppDataScope& app_data, const std::string& file) {
  std::vector<std::string> lines;
  const std::string text = read_file_bytes(app_data.tovik_path(file)).value_or("");
  const std::string end = text_line_end();
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t next = text.find(end, pos);
    if (next == std::string::npos) next = text.size();
    lines.push_back(text.substr(pos, next - pos));
    pos = next + end.size();
  }
  return lines;
}

const char* text_line_end() {
#ifdef _WIN32
  return "\r\n";
#else
  return "\n";
#endif
}

bool wait_until(const std::function<bool()>& predicate, std::chrono::milliseconds bound) {
  auto deadline = std::chrono::steady_clock::now() + bound;
  while (!predicate()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::optional<std::string> missing_tool(const std::string& tool) {
  const std::string probe = "command -v " + tool + " >/dev/null 2>&1";
  if (std::system(probe.c_str()) == 0) return std::nullopt;
  return tool + " is not installed";
}

bool in_ci() { return get_env("CI").value_or("") == "true"; }

}  // namespace test
