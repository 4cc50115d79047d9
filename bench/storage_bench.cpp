// What hostile or huge files cost:
//   1. trimming an in-memory paired-devices list of 100,000 entries to ten;
//   2. loading a 400 MiB settings.json (set aside unread) against a normal
//      one: the extra time and the extra peak memory of a start;
//   3. the same for a 400 MiB paired_devices.json on a connection.
// Usage: tovik_storage_bench (as any user; works in a temporary folder)
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "storage/paired_devices.h"
#include "storage/settings.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint64_t kHugeBytes = 400ull << 20;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

long peak_rss_kib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// The best of `runs` timings of `work`, after `prepare` each time.
double best_ms(int runs, const std::function<void()>& prepare, const std::function<void()>& work) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    prepare();
    const Clock::time_point start = Clock::now();
    work();
    best = std::min(best, ms_since(start));
  }
  return best;
}

void bench_trim() {
  std::mt19937_64 random(17);
  std::vector<PairedDevice> fresh(100000);
  for (std::size_t i = 0; i < fresh.size(); ++i) {
    fresh[i] = {"rx-" + std::to_string(i), "Receiver " + std::to_string(i),
                static_cast<std::int64_t>(random() % 2000000000)};
  }
  std::vector<PairedDevice> devices;
  const double ms = best_ms(
      5, [&] { devices = fresh; }, [&] { trim_paired_devices(devices); });
  std::printf("trim 100000 entries to %zu: %.2f ms (best of 5)\n", devices.size(), ms);
}

// A file of `bytes` spaces' worth, made sparse so that making it is cheap.
void make_file(const std::string& path, std::uint64_t bytes, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
  if (bytes > text.size()) std::filesystem::resize_file(path, bytes);
}

void bench_file(const std::string& folder, const char* name, const std::string& normal,
                const std::function<void()>& use) {
  const std::string path = folder + "/Tovik/" + name;
  const double usual = best_ms(
      5, [&] { make_file(path, 0, normal); }, use);
  const long rss_before = peak_rss_kib();
  const double huge = best_ms(
      5, [&] { make_file(path, kHugeBytes, normal); }, use);
  const long rss_after = peak_rss_kib();
  const bool set_aside = std::filesystem::file_size(path + ".bad") == kHugeBytes;
  std::printf("%s: usual %.3f ms, 400 MiB %.3f ms (+%.3f ms), peak RSS +%ld KiB, %s\n", name, usual,
              huge, huge - usual, rss_after - rss_before,
              set_aside ? "set aside" : "NOT set aside");
}

}  // namespace

int main() {
  const std::string folder =
      (std::filesystem::temp_directory_path() / ("tovik-bench-" + std::to_string(getpid())))
          .string();
  std::filesystem::create_directories(folder + "/Tovik");
  setenv("APPDATA", folder.c_str(), 1);
  std::printf("start peak RSS %ld KiB\n", peak_rss_kib());
  bench_file(folder, "settings.json",
             "{\"quality\":\"low\",\"start_with_windows\":false,\"smart_volume\":false}\n",
             [] { (void)load_settings(); });
  bench_file(folder, "paired_devices.json", "[{\"id\":\"a\",\"name\":\"a\",\"timestamp\":1}]\n",
             [] {
               add_paired_device({"Kitchen", "Kitchen", 2});
             });
  std::filesystem::remove_all(folder);
  bench_trim();  // last: its 100,000 entries would mask the peaks above
  return 0;
}
