// Looks at a running tovik.exe from outside, as the desktop sees it, for the
// program tests under wine. One step per run; output is UTF-8, one line.
//
//   window SECONDS       waits for the tray window    -> WINDOW <handle>
//   copy-code HANDLE     "Copy Pairing Code", then reads the clipboard -> CODE <text>
//   command HANDLE ID    posts menu command ID
//   box SECONDS [CAPTION] reads the box (default "Tovik - Error"), then
//                        presses OK -> BOX <text>
//   run-value            the HKCU Run value "Tovik"  -> RUN <data> (BAD <data>
//                        when it is no REG_SZ with its NUL)
//
// Exit 0 when the step could be done, 1 when what it waits for never came.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int print_line(const char* tag, const std::wstring& text) {
  std::string utf8(text.size() * 4 + 1, '\0');
  utf8.resize(std::max(0, WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0],
                                              static_cast<int>(utf8.size()), nullptr, nullptr) -
                              1));
  std::printf("%s %s\n", tag, utf8.c_str());
  return 0;
}

// Polls `found` every 100 ms for up to `seconds`.
template <typename Found>
bool wait_until(const char* seconds, Found found) {
  for (DWORD start = GetTickCount(); !found(); Sleep(100)) {
    if (GetTickCount() - start >= static_cast<DWORD>(std::atof(seconds) * 1000)) return false;
  }
  return true;
}

HWND handle(const char* text) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(std::strtoull(text, nullptr, 16)));
}

// The text of the first child of the box that has one. WM_GETTEXT, not
// GetWindowTextW: the box belongs to another process.
std::wstring box_text(HWND box) {
  std::wstring found;
  EnumChildWindows(
      box,
      [](HWND window, LPARAM data) -> BOOL {
        wchar_t name[64] = {}, text[512] = {};
        GetClassNameW(window, name, 64);
        if (std::wstring(name) != L"Static") return TRUE;
        SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text),
                            SMTO_ABORTIFHUNG, 2000, nullptr);
        *reinterpret_cast<std::wstring*>(data) = text;
        return !*text;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

std::wstring clipboard_text() {
  std::wstring code;
  if (!OpenClipboard(nullptr)) return code;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    for (const char* c = static_cast<const char*>(GlobalLock(data)); *c; ++c) code += *c;
    GlobalUnlock(data);
  }
  CloseClipboard();
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);  // the lines go to a Unix pipe as they are
  const std::string step = argc > 1 ? argv[1] : "";
  HWND window = nullptr;
  std::wstring text;
  if (step == "window" && argc == 3) {
    return wait_until(argv[2], [&] { return window = FindWindowW(L"TovikTrayClass", L"Tovik"); })
               ? std::printf("WINDOW %llx\n", reinterpret_cast<unsigned long long>(window)) < 0
               : 1;
  }
  if (step == "copy-code" && argc == 3) {
    if (!OpenClipboard(nullptr) || !EmptyClipboard() || !CloseClipboard()) return 1;
    SendMessageW(handle(argv[2]), WM_COMMAND, 2020, 0);  // Copy Pairing Code
    return wait_until("10", [&] { return !(text = clipboard_text()).empty(); })
               ? print_line("CODE", text)
               : 1;
  }
  if (step == "command" && argc == 4)
    return PostMessageW(handle(argv[2]), WM_COMMAND, std::atoi(argv[3]), 0) ? 0 : 1;
  if (step == "box" && (argc == 3 || argc == 4)) {
    const char* caption = argc == 4 ? argv[3] : "Tovik - Error";
    if (!wait_until(argv[2], [&] { return window = FindWindowA("#32770", caption); })) return 1;
    print_line("BOX", box_text(window));
    return PostMessageW(window, WM_COMMAND, IDOK, 0) ? 0 : 1;
  }
  if (step == "run-value") {
    HKEY key = nullptr;
    wchar_t data[4096] = {};
    DWORD type = 0, size = sizeof data - sizeof *data;
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0,
                  KEY_READ, &key);
    if (RegQueryValueExW(key, L"Tovik", nullptr, &type, reinterpret_cast<BYTE*>(data), &size))
      return 1;
    // What the shell starts: a string, stored with its NUL.
    return print_line(type == REG_SZ && size == (wcslen(data) + 1) * 2 ? "RUN" : "BAD", data);
  }
  return 2;  // not a step of the list above
}
