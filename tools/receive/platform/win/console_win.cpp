#include <windows.h>

#include <atomic>

#include "console.h"

namespace {

std::atomic<bool> g_stop{false};
HANDLE g_stop_event = nullptr;  // manual-reset: stays set once a stop came

// Windows ends the process once the handler returns from a close, log-off or
// shut-down (or after about 5 s): the handler holds on meanwhile, so that the
// main thread can stop cleanly (a WAV file gets its final header) and exit.
constexpr DWORD kCloseGraceMs = 4000;

// Runs on a thread of the system's: Ctrl+C, Ctrl+Break, the console window
// closed, log-off or shut-down.
BOOL WINAPI on_console_event(DWORD type) {
  g_stop = true;
  SetEvent(g_stop_event);
  if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) {
    Sleep(kCloseGraceMs);
  }
  return TRUE;
}

}  // namespace

void install_stop_handler() {
  g_stop_event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(&on_console_event, TRUE);
}

bool stop_requested() { return g_stop; }

void request_stop() {
  g_stop = true;
  if (g_stop_event != nullptr) SetEvent(g_stop_event);
}

bool wait_for_stop(int timeout_ms) {
  if (g_stop) return true;
  WaitForSingleObject(g_stop_event, timeout_ms < 0 ? INFINITE : static_cast<DWORD>(timeout_ms));
  return g_stop;
}

// A console that redraws the status line: the escape that clears the rest
// of the line needs virtual terminal processing (Windows 10 and later).
bool stderr_is_terminal() {
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (err == INVALID_HANDLE_VALUE || !GetConsoleMode(err, &mode)) return false;
  return SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

bool stdin_is_terminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

// Started from the Start menu, the console is ours alone and closes with the
// process: a message would vanish unread.
bool console_closes_on_exit() {
  DWORD processes[2];
  return GetConsoleProcessList(processes, 2) == 1;
}
