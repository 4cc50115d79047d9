#include "app/shell/platform/posix/posix_system_info.h"

#include <unistd.h>

#include <ctime>

std::string posix_computer_name() {
  char buffer[256] = {};
  // A name longer than the buffer may come back without a terminator.
  if (gethostname(buffer, sizeof buffer - 1) != 0) return std::string();
  return std::string(buffer);
}

std::int64_t posix_now_seconds() { return static_cast<std::int64_t>(std::time(nullptr)); }
