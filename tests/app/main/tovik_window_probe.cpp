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

// The text of the first window of the class that has one: a child of
// `parent`, or a visible top-level window. WM_GETTEXT, not GetWindowTextW:
// the windows belong to other processes.
std::wstring text_of(HWND parent, const wchar_t* window_class) {
  struct Search {
    const wchar_t* window_class;
    bool top_level;
    std::wstring text;
  } search{window_class, parent == nullptr, L""};
  const WNDENUMPROC visit = [](HWND window, LPARAM data) -> BOOL {
    auto* s = reinterpret_cast<Search*>(data);
    wchar_t name[64] = {}, text[512] = {};
    GetClassNameW(window, name, 64);
    if (std::wstring(name) != s->window_class || (s->top_level && !IsWindowVisible(window)))
      return TRUE;
    SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        2000, nullptr);
    s->text = text;
    return s->text.empty();
  };
  parent ? EnumChildWindows(parent, visit, reinterpret_cast<LPARAM>(&search))
         : EnumWindows(visit, reinterpret_cast<LPARAM>(&search));
  return search.text;
}

std::wstring clipboard_text() {
  std::wstring code;
  if (!OpenClipboard(nullptr)) return code;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    const char* text = static_cast<const char*>(GlobalLock(data));
    code.assign(text, text + std::strlen(text));
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
    if (!wait_until(argv[2], [&] { return window = FindWindowW(L"TovikTrayClass", L"Tovik"); }))
      return 1;
    return std::printf("WINDOW %llx\n", reinterpret_cast<unsigned long long>(window)) < 0;
  }
  if (step == "icon" && argc == 3) {
    // NIM_MODIFY that changes nothing succeeds only for an icon the shell holds.
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof data;
    data.hWnd = handle(argv[2]);
    data.uID = 1001;
    return std::printf("ICON %s\n", Shell_NotifyIconW(NIM_MODIFY, &data) ? "present" : "absent") <
           0;
  }
  if (step == "copy-code" && argc == 3) {
    if (!OpenClipboard(nullptr) || !EmptyClipboard() || !CloseClipboard()) return 1;
    SendMessageW(handle(argv[2]), WM_COMMAND, 2020, 0);  // Copy Pairing Code
    return wait_until("10", [&] { return !(text = clipboard_text()).empty(); })
               ? print_line("CODE", text)
               : 1;
  }
  if (step == "tooltip" && argc == 3) {
    return wait_until(argv[2],
                      [&] { return !(text = text_of(nullptr, L"tooltips_class32")).empty(); })
               ? print_line("TIP", text)
               : 1;
  }
  if (step == "command" && argc == 4)
    return PostMessageW(handle(argv[2]), WM_COMMAND, std::atoi(argv[3]), 0) ? 0 : 1;
  if (step == "box" && (argc == 3 || argc == 4)) {
    const char* caption = argc == 4 ? argv[3] : "Tovik - Error";
    if (!wait_until(argv[2], [&] { return window = FindWindowA("#32770", caption); })) return 1;
    print_line("BOX", text_of(window, L"Static"));
    return PostMessageW(window, WM_COMMAND, IDOK, 0) ? 0 : 1;
  }
  if (step == "run-value") {
    wchar_t data[4096] = {};
    DWORD size = sizeof data;
    return RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                        L"Tovik", RRF_RT_REG_SZ, nullptr, data, &size) == ERROR_SUCCESS
               ? print_line("RUN", data)
               : 1;
  }
  return 2;  // not a step of the list above
}
