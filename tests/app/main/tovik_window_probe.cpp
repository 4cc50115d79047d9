// Looks at a running tovik.exe from outside, as the desktop sees it, for the
// program tests under wine. One step per run; output is UTF-8, one line.
//
//   window SECONDS       waits for the tray window    -> WINDOW <handle>
//   icon HANDLE          asks the shell for icon 1001 -> ICON present|absent
//   copy-code HANDLE     "Copy Pairing Code", then reads the clipboard -> CODE <text>
//   tooltip SECONDS      the text of a shown tooltip  -> TIP <text>
//   command HANDLE ID    posts menu command ID
//   box SECONDS [CAPTION] reads the box (default "Tovik - Error"), then
//                        presses OK -> BOX <text>
//   run-value            the HKCU Run value "Tovik"  -> RUN <data>
//
// Exit 0 when the step could be done, 1 when what it waits for never came.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr UINT kIconId = 1001;
constexpr int kCopyPairingCode = 2020;

void print_line(const char* tag, const std::wstring& text) {
  std::string utf8(text.size() * 4 + 1, '\0');
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                    &utf8[0], static_cast<int>(utf8.size()), nullptr, nullptr);
  utf8.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  std::printf("%s %s\n", tag, utf8.c_str());
  std::fflush(stdout);
}

std::wstring window_text(HWND window) {
  wchar_t buffer[512] = {};
  // WM_GETTEXT, not GetWindowTextW: the windows belong to other processes.
  SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                      2000, nullptr);
  return buffer;
}

std::wstring class_name(HWND window) {
  wchar_t buffer[64] = {};
  GetClassNameW(window, buffer, 64);
  return buffer;
}

// Polls `found` every 100 ms for up to `seconds`.
template <typename Found>
bool wait_until(double seconds, Found found) {
  const DWORD deadline = GetTickCount() + static_cast<DWORD>(seconds * 1000);
  for (;;) {
    if (found()) return true;
    if (static_cast<LONG>(GetTickCount() - deadline) >= 0) return false;
    Sleep(100);
  }
}

HWND parse_handle(const char* text) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(text, nullptr, 16)));
}

int wait_for_window(double seconds) {
  HWND window = nullptr;
  if (!wait_until(seconds, [&] { return (window = FindWindowW(L"TovikTrayClass", L"Tovik")); }))
    return 1;
  std::printf("WINDOW %llx\n",
              static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(window)));
  return 0;
}

// NIM_MODIFY that changes nothing succeeds only for an icon the shell holds.
int ask_for_icon(HWND window) {
  NOTIFYICONDATAW data = {};
  data.cbSize = sizeof(data);
  data.hWnd = window;
  data.uID = kIconId;
  std::printf("ICON %s\n", Shell_NotifyIconW(NIM_MODIFY, &data) ? "present" : "absent");
  return 0;
}

int copy_code(HWND window) {
  if (!OpenClipboard(nullptr)) return 1;
  EmptyClipboard();
  CloseClipboard();
  SendMessageW(window, WM_COMMAND, kCopyPairingCode, 0);
  std::wstring code;
  const bool read = wait_until(10, [&] {
    if (!OpenClipboard(nullptr)) return false;
    HANDLE data = GetClipboardData(CF_TEXT);
    const char* text = data ? static_cast<const char*>(GlobalLock(data)) : nullptr;
    if (text) code.assign(text, text + std::strlen(text));
    if (data) GlobalUnlock(data);
    CloseClipboard();
    return text != nullptr;
  });
  if (!read) return 1;
  print_line("CODE", code);
  return 0;
}

BOOL CALLBACK find_shown_tip(HWND window, LPARAM result) {
  if (!IsWindowVisible(window) || class_name(window) != L"tooltips_class32") return TRUE;
  *reinterpret_cast<std::wstring*>(result) = window_text(window);
  return reinterpret_cast<std::wstring*>(result)->empty();
}

int read_tooltip(double seconds) {
  std::wstring tip;
  if (!wait_until(seconds, [&] {
        EnumWindows(find_shown_tip, reinterpret_cast<LPARAM>(&tip));
        return !tip.empty();
      }))
    return 1;
  print_line("TIP", tip);
  return 0;
}

BOOL CALLBACK find_box_text(HWND child, LPARAM result) {
  if (class_name(child) != L"Static") return TRUE;
  *reinterpret_cast<std::wstring*>(result) = window_text(child);
  return reinterpret_cast<std::wstring*>(result)->empty();
}

int read_box(double seconds, const std::wstring& caption) {
  HWND box = nullptr;
  if (!wait_until(seconds, [&] { return (box = FindWindowW(L"#32770", caption.c_str())); }))
    return 1;
  std::wstring text;
  EnumChildWindows(box, find_box_text, reinterpret_cast<LPARAM>(&text));
  print_line("BOX", text);
  PostMessageW(box, WM_COMMAND, IDOK, 0);
  return 0;
}

int read_run_value() {
  wchar_t data[4096] = {};
  DWORD size = sizeof data;
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                   L"Tovik", RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
    return 1;
  print_line("RUN", data);
  return 0;
}

std::wstring widen(const char* text) {
  std::wstring wide(std::strlen(text) + 1, L'\0');
  wide.resize(static_cast<std::size_t>(
      MultiByteToWideChar(CP_UTF8, 0, text, -1, &wide[0], static_cast<int>(wide.size())) - 1));
  return wide;
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // the lines go to a Unix pipe as they are
  const std::string step = argc > 1 ? argv[1] : "";
  if (step == "window" && argc == 3) return wait_for_window(std::atof(argv[2]));
  if (step == "icon" && argc == 3) return ask_for_icon(parse_handle(argv[2]));
  if (step == "copy-code" && argc == 3) return copy_code(parse_handle(argv[2]));
  if (step == "tooltip" && argc == 3) return read_tooltip(std::atof(argv[2]));
  if (step == "command" && argc == 4)
    return PostMessageW(parse_handle(argv[2]), WM_COMMAND, std::atoi(argv[3]), 0) ? 0 : 1;
  if (step == "box" && (argc == 3 || argc == 4))
    return read_box(std::atof(argv[2]), argc == 4 ? widen(argv[3]) : L"Tovik - Error");
  if (step == "run-value") return read_run_value();
  std::fprintf(stderr,
               "usage: tovik_window_probe window S | icon H | copy-code H | tooltip S | "
               "command H ID | box S [CAPTION] | run-value\n");
  return 2;
}
