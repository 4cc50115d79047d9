#pragma once

// Installs the process's terminate handler: it writes what it knows of the
// exception in flight to debug.log and aborts. First thing an entry point does.
void install_terminate_handler();
