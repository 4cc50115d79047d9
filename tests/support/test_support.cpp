#include "support/test_support.h"

#include <atomic>
#include <filesystem>
#include <random>

#include "app/app_data.h"

namespace test {
namespace {

// On Windows the CRT's _putenv_s sets the process environment too, which is
// what the product reads.
void set_env(const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
  _putenv_s(name.c_str(), value ? value->c_str() : "");
#else
  value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
#endif
}

}  // namespace

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
  if (const char* saved = std::getenv(name_.c_str())) saved_ = saved;
  set_env(name_, value);
}

ScopedEnv::~ScopedEnv() { set_env(name_, saved_); }

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  const std::string name =
      "tovik-test-" + std::to_string(std::random_device()()) + "-" + std::to_string(counter++);
  path_ = (std::filesystem::temp_directory_path() / name).string();
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

AppDataScope::AppDataScope(bool create_tovik_folder) : env_("APPDATA", dir_.path()) {
  if (create_tovik_folder) std::filesystem::create_directories(tovik_path());
}

std::string AppDataScope::tovik_path(const std::string& file) const {
  const std::string folder = join_path(dir_.path(), "Tovik");
  return file.empty() ? folder : join_path(folder, file);
}

}  // namespace test
