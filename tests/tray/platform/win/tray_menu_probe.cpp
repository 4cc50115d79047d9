// Shows the real tray icon for a desktop test: prints "ready" once the icon
// is up, then runs the message loop. The test opens the menu by clicking the
// icon and, when done, creates the file named by the second argument; the
// probe then closes any open menu and sends itself "Quit Tovik". Gives up
// after 60 s. Exit code 0 only when the quit came through the command.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>

#include "tray/platform/win/win32_tray_host.h"
#include "tray/tray_icon.h"

namespace {

std::wstring g_done_file;
DWORD g_deadline = 0;

void CALLBACK on_timer(HWND, UINT, UINT_PTR, DWORD) {
  const bool done = GetFileAttributesW(g_done_file.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (!done && static_cast<LONG>(GetTickCount() - g_deadline) < 0) return;
  EndMenu();  // the command arrives once the menu's own loop has ended
  PostMessageW(FindWindowW(L"TovikTrayClass", L"Tovik"), WM_COMMAND, 2006, 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: tray_menu_probe <pairing code> <done file>\n");
    return 2;
  }
  std::wstring code_wide = argv[1];
  g_done_file = argv[2];
  g_deadline = GetTickCount() + 60000;

  TrayIcon tray(std::make_unique<Win32TrayHost>(GetModuleHandleW(nullptr)));
  tray.set_pairing_code(std::string(code_wide.begin(), code_wide.end()));
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
