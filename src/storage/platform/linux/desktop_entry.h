#pragma once

#include <optional>
#include <string>

// `path` as one quoted argument of a desktop entry's Exec key: inside double
// quotes '"', '`', '$' and '\' get a backslash; then the string-value escapes
// ('\' -> "\\", newline/tab/CR -> \n \t \r) and '%' -> "%%" for field codes.
std::string desktop_exec_argument(const std::string& path);

// The whole "Tovik.desktop" autostart file that starts `exe_path`.
std::string desktop_entry_text(const std::string& exe_path);

// The XDG autostart folder: $XDG_CONFIG_HOME/autostart when that is set to an
// absolute path, else $HOME/.config/autostart; nothing without either.
std::optional<std::string> autostart_folder();
