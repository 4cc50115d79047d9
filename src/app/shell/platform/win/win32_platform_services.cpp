#include "app/shell/platform/win/win32_platform_services.h"

#include <cstring>
#include <ctime>
#include <cwchar>

#include "app/platform/win/wide_string.h"

namespace {

// Global memory holding `text` and its NUL, as CF_TEXT wants; null on failure.
HGLOBAL make_text_block(const std::string& text) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  if (block == nullptr) return nullptr;
  void* bytes = GlobalLock(block);
  if (bytes == nullptr) {
    GlobalFree(block);
    return nullptr;
  }
  std::memcpy(bytes, text.c_str(), text.size() + 1);
  GlobalUnlock(block);
  return block;
}

}  // namespace

Win32PlatformServices::Win32PlatformServices(MessageBoxFunction message_box)
    : message_box_(message_box) {}

Win32PlatformServices::~Win32PlatformServices() {
  if (clipboard_owner_ != nullptr) DestroyWindow(clipboard_owner_);
}

std::string Win32PlatformServices::computer_name() {
  wchar_t buffer[256] = {};
  DWORD size = 256;
  GetComputerNameW(buffer, &size);
  return narrow(std::wstring(buffer, wcsnlen(buffer, 256)));
}

void Win32PlatformServices::show_error(const std::string& text) {
  message_box_(nullptr, text.c_str(), "Tovik - Error", MB_ICONERROR);
}

void Win32PlatformServices::show_notice(const std::string& text) {
  message_box_(nullptr, text.c_str(), "Tovik", MB_ICONINFORMATION);
}

void Win32PlatformServices::copy_to_clipboard(const std::string& text) {
  // A clipboard opened without an owner window is emptied to no owner, and
  // then refuses new data; a message-only window serves as the owner.
  if (!OpenClipboard(clipboard_owner())) return;
  EmptyClipboard();
  HGLOBAL block = make_text_block(text);
  if (block != nullptr && SetClipboardData(CF_TEXT, block) == nullptr) GlobalFree(block);
  CloseClipboard();
}

std::int64_t Win32PlatformServices::now_seconds() { return _time64(nullptr); }

HWND Win32PlatformServices::clipboard_owner() {
  if (clipboard_owner_ == nullptr) {
    clipboard_owner_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       GetModuleHandleW(nullptr), nullptr);
  }
  return clipboard_owner_;
}
