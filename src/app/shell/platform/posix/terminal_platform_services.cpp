#include "app/shell/platform/posix/terminal_platform_services.h"

#include "app/shell/platform/posix/posix_system_info.h"

TerminalPlatformServices::TerminalPlatformServices(std::ostream& err) : err_(err) {}

std::string TerminalPlatformServices::computer_name() { return posix_computer_name(); }

void TerminalPlatformServices::show_error(const std::string& text) {
  err_ << "Tovik - Error: " << text << "\n";
  err_.flush();
}

void TerminalPlatformServices::show_notice(const std::string& text) {
  err_ << "Tovik: " << text << "\n";
  err_.flush();
}

void TerminalPlatformServices::copy_to_clipboard(const std::string&) {}

std::int64_t TerminalPlatformServices::now_seconds() { return posix_now_seconds(); }
