#pragma once

#include <cstdint>
#include <string>

// Key lookups by plain text search over flat JSON written by ourselves. Each
// finds the first occurrence of its pattern anywhere in `text`; no escapes are
// interpreted and no whitespace is allowed between the key's quote and ':'.

// The bytes between "key":" and the next double quote, or "".
std::string json_get_string(const std::string& text, const std::string& key);

// After "key": and any spaces (0x20): true for "true...", false for
// "false...", otherwise `fallback`.
bool json_get_bool(const std::string& text, const std::string& key, bool fallback);

// After "key": and any spaces: the signed decimal that follows (strtoll rules),
// or 0 when there is no digit or the value does not fit in 64 bits.
std::int64_t json_get_int64(const std::string& text, const std::string& key);

// "key":"value", written without any escaping.
std::string json_string_field(const std::string& key, const std::string& value);

// "key":true or "key":false.
std::string json_bool_field(const std::string& key, bool value);
