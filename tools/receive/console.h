#pragma once

// The process's console: stop requests (SIGINT/SIGTERM or the platform's
// equivalent) and whether stderr is a terminal that can redraw a line.
void install_stop_handler();
bool stop_requested();
// Sleeps until a stop request or for timeout_ms (-1: no time-out); true when
// a stop was requested. install_stop_handler must come before any thread.
bool wait_for_stop(int timeout_ms);
// Asks for a stop from any thread, as a stop signal would.
void request_stop();
bool stderr_is_terminal();
bool stdin_is_terminal();
// Whether the console window goes away with this process (it was opened for
// it, as from a Start-menu entry), taking any last message with it.
bool console_closes_on_exit();
