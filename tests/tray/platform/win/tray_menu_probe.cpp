// Shows the real tray icon for a desktop test: prints "ready" once the icon
// is up, then runs the message loop. Once the file named by the second
// argument exists, the probe closes any open menu and sends its window "Quit
// Tovik". Exit code 0 only when the quit came through the command; 4 when
// 60 s passed without.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "tray/platform/win/win32_tray_host.h"
#include "tray/tray_icon.h"

namespace {

const wchar_t* g_done_file = nullptr;
const DWORD g_deadline = GetTickCount() + 60000;

void CALLBACK on_timer(HWND, UINT, UINT_PTR, DWORD) {
  if (static_cast<LONG>(GetTickCount() - g_deadline) > 0) PostQuitMessage(0);
  if (GetFileAttributesW(g_done_file) == INVALID_FILE_ATTRIBUTES) return;
  EndMenu();  // the command arrives once the menu's own loop has ended
  PostMessageW(FindWindowW(L"TovikTrayClass", L"Tovik"), WM_COMMAND, 2006, 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return std::fprintf(stderr, "usage: tray_menu_probe CODE DONE_FILE\n"), 2;
  g_done_file = argv[2];
  TrayIcon tray(std::make_unique<Win32TrayHost>(GetModuleHandleW(nullptr)));
  tray.set_pairing_code(std::string(argv[1], argv[1] + wcslen(argv[1])));
  bool quit = false;
  TrayCallbacks callbacks;
  callbacks.on_quit = [&quit] { quit = true; };
  if (!tray.create(callbacks)) return 3;
  tray.set_status("Searching...", "");
  SetTimer(nullptr, 0, 100, &on_timer);
  std::printf("ready\n");
  std::fflush(stdout);
  tray.run_message_loop();
  return quit ? 0 : 4;
}
