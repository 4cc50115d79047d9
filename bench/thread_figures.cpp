#include "thread_figures.h"

#include <dirent.h>
#include <pthread.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

std::string read_line(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  std::getline(file, line);
  return line;
}

std::uint64_t sleeps_of(const std::string& status_path) {
  std::ifstream file(status_path);
  std::string line;
  std::uint64_t total = 0;
  while (std::getline(file, line)) {
    // A voluntary switch is a sleep: each ends with a wake-up. Involuntary
    // ones are preemptions by other work on the machine.
    if (line.rfind("voluntary_ctxt_switches:", 0) != 0) continue;
    total += std::stoull(line.substr(line.find(':') + 1));
  }
  return total;
}

}  // namespace

ProcessSample sample_threads(int pid) {
  ProcessSample sample;
  const std::string root =
      pid == 0 ? std::string("/proc/self/task/") : "/proc/" + std::to_string(pid) + "/task/";
  DIR* tasks = opendir(root.c_str());
  if (tasks == nullptr) return sample;
  while (dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] == '.') continue;
    const std::string dir = root + entry->d_name;
    TaskSample task;
    task.name = read_line(dir + "/comm");
    std::istringstream(read_line(dir + "/schedstat")) >> task.run_ns;
    task.switches = sleeps_of(dir + "/status");
    sample[std::stoi(entry->d_name)] = task;
  }
  closedir(tasks);
  return sample;
}

std::vector<ThreadFigures> thread_figures(const ProcessSample& before, const ProcessSample& after,
                                          double seconds, int pid) {
  std::map<std::string, ThreadFigures> by_name;
  ThreadFigures total{"total", 0, 0};
  for (const auto& [tid, task] : after) {
    if ((pid == 0 && tid == getpid()) || task.name.rfind("bench-", 0) == 0) continue;
    const auto old = before.find(tid);
    const TaskSample start = old != before.end() ? old->second : TaskSample{task.name, 0, 0};
    ThreadFigures& entry = by_name[task.name];
    entry.name = task.name;
    const double cpu = (task.run_ns - start.run_ns) / 1e6 / seconds;
    const double wakeups = (task.switches - start.switches) / seconds;
    entry.cpu_ms_per_s += cpu;
    entry.wakeups_per_s += wakeups;
    total.cpu_ms_per_s += cpu;
    total.wakeups_per_s += wakeups;
  }
  std::vector<ThreadFigures> figures;
  for (const auto& [name, entry] : by_name) figures.push_back(entry);
  figures.push_back(total);
  return figures;
}

std::string describe_threads(const std::vector<ThreadFigures>& figures) {
  std::string text;
  for (std::size_t k = 0; k + 1 < figures.size(); ++k) {
    char part[96];
    std::snprintf(part, sizeof part, "%s%s %.2f ms/s %.1f/s", text.empty() ? "" : ", ",
                  figures[k].name.c_str(), figures[k].cpu_ms_per_s, figures[k].wakeups_per_s);
    text += part;
  }
  return text;
}

void name_bench_thread(const char* name) { pthread_setname_np(pthread_self(), name); }
