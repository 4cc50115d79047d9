#include "app/device_identity.h"

#include <cstdio>
#include <optional>
#include <random>

#include "app/app_data.h"
#include "app/atomic_file.h"
#include "app/file_io.h"

namespace {

// The first line of the file, at most 127 bytes, up to its first NUL.
std::string read_first_line(const std::string& path) {
  std::FILE* file = open_file(path, "r");
  if (file == nullptr) return "";
  char buffer[128] = {};
  if (std::fgets(buffer, sizeof buffer, file) == nullptr) buffer[0] = '\0';
  std::fclose(file);
  return std::string(buffer);
}

}  // namespace

std::string make_device_id() {
  static const char kDigits[] = "0123456789abcdef";
  std::random_device source;
  std::mt19937 generator(source());
  std::string id = "tovik-";
  for (int i = 0; i < 16; ++i) id += kDigits[generator() >> 28];
  return id;
}

std::string load_or_create_device_id() {
  std::optional<std::string> folder = tovik_folder();
  if (!folder) return "unknown-device";
  make_directory(*folder);
  const std::string path = join_path(*folder, "device_id");
  std::string id = read_first_line(path);
  if (!id.empty()) return id;
  id = make_device_id();
  // Unwritable: this run uses the new identity, the next start makes another.
  write_text_file_atomically(path, id);
  return id;
}
