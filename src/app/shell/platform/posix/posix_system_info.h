#pragma once

#include <cstdint>
#include <string>

// The host name from gethostname; empty when the call fails.
std::string posix_computer_name();

// Calendar time in seconds since 1970-01-01 UTC, from time().
std::int64_t posix_now_seconds();
