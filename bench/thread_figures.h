#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// CPU time and wake-ups of this process's threads, read from /proc (Linux):
// two samples and the difference between them, thread by thread.
struct TaskSample {
  std::string name;
  std::uint64_t run_ns = 0;    // time on a CPU
  std::uint64_t switches = 0;  // voluntary context switches: sleeps, each ended by a wake-up
};
using ProcessSample = std::map<int, TaskSample>;  // by thread id

// The threads of process pid (0: this process).
ProcessSample sample_threads(int pid = 0);

struct ThreadFigures {
  std::string name;
  double cpu_ms_per_s = 0;
  double wakeups_per_s = 0;
};

// The threads' figures between two samples of process pid (0: this one),
// leaving out this process's main thread and the benchmark's own helpers
// (named "bench-..."); same-named threads are added up. The last entry is
// the total.
std::vector<ThreadFigures> thread_figures(const ProcessSample& before, const ProcessSample& after,
                                          double seconds, int pid = 0);

// "name 1.2 ms/s 50/s, ..." for a table cell.
std::string describe_threads(const std::vector<ThreadFigures>& figures);

// Names the calling thread.
void name_bench_thread(const char* name);
