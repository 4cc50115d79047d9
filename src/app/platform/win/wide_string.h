#pragma once

#include <string>

// UTF-8 to UTF-16 and back for the wide Windows API (paths, environment,
// registry, module and computer names). Invalid input is replaced, not
// rejected: a name must never vanish because of one bad unit.
std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& wide);
