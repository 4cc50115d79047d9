#include <pthread.h>

#include "transport/thread_name.h"

void name_this_thread(const char* name) {
#if defined(__linux__)
  pthread_setname_np(pthread_self(), name);
#else
  (void)name;
#endif
}
