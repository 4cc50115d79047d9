#include "storage/platform/linux/desktop_entry.h"

#include <cstdlib>

namespace {

// Quoting rule of the Exec key: these must be backslash-escaped inside quotes.
std::string quote_argument(const std::string& path) {
  std::string quoted = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

// Escapes of a string value; applied after quoting, so a literal backslash in
// the path ends up as four.
std::string escape_value(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '\\':
        escaped += "\\\\";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\t':
        escaped += "\\t";
        break;
      case '\r':
        escaped += "\\r";
        break;
      case '%':
        escaped += "%%";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

const char* non_empty_env(const char* name) {
  const char* value = std::getenv(name);
  return (value != nullptr && value[0] != '\0') ? value : nullptr;
}

}  // namespace

std::string desktop_exec_argument(const std::string& path) {
  return escape_value(quote_argument(path));
}

std::string desktop_entry_text(const std::string& exe_path) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Tovik\n"
         "Comment=Streams this computer's sound to a paired receiver\n"
         "Exec=" +
         desktop_exec_argument(exe_path) +
         "\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

std::optional<std::string> autostart_folder() {
  // The XDG base directory rules ignore a relative XDG_CONFIG_HOME.
  const char* config = non_empty_env("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/autostart";
  if (const char* home = non_empty_env("HOME")) return std::string(home) + "/.config/autostart";
  return std::nullopt;
}
