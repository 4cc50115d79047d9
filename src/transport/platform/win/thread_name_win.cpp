#include "transport/thread_name.h"

// Thread names need Windows 10 1607 (SetThreadDescription); they only serve
// the tools, so older systems lose nothing by going without.
void name_this_thread(const char* /*name*/) {}
