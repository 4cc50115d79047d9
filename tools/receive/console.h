#pragma once

// The process's console: stop requests (SIGINT/SIGTERM or the platform's
// equivalent) and whether stderr is a terminal that can redraw a line.
void install_stop_handler();
bool stop_requested();
bool stderr_is_terminal();
