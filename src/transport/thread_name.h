#pragma once

// Names the calling thread for the system's tools (top, /proc, debuggers),
// so that the cost of each worker can be told apart. At most 15 bytes.
void name_this_thread(const char* name);
