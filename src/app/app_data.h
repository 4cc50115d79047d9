#pragma once

#include <optional>
#include <string>

// The per-user base folder that holds the "Tovik" folder: %APPDATA% on
// Windows; on Linux $APPDATA when set (tests point it at a temporary folder),
// else $XDG_CONFIG_HOME, else $HOME/.config. Empty when none can be read.
std::optional<std::string> app_data_base();

// '\' on Windows, '/' elsewhere.
char path_separator();

// base + separator + name.
std::string join_path(const std::string& base, const std::string& name);

// The "Tovik" folder under the base, or nothing when there is no base.
std::optional<std::string> tovik_folder();

// Creates one folder (private to the user on POSIX); an existing folder or a
// failure is not reported.
void make_directory(const std::string& path);
