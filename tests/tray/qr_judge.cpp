// Judges the QR encoder with an independent decoder: renders many pairing
// codes to PNG and checks that zbarimg reads back exactly the six digits.
// Exits 77 (skipped) when zbarimg is not installed.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "qr_png.h"
#include "tray/qr_encoder.h"

namespace {

namespace fs = std::filesystem;
constexpr int kSkip = 77;
constexpr std::size_t kBatch = 100;

std::vector<std::string> judged_codes() {
  std::vector<std::string> codes = {"000000", "999999", "000001", "100000", "123456",
                                    "012345", "999000", "000999", "500500"};
  // The first codes that choose masks 1 to 7 (000000 chooses mask 0).
  for (const char* c : {"000363", "000013", "000150", "000002", "004011", "011603", "000243"}) {
    codes.push_back(c);
  }
  std::mt19937 random(20261205);  // fixed seed: the same codes on every run
  for (int i = 0; i < 1000; ++i) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%06u", static_cast<unsigned>(random() % 1000000));
    codes.push_back(digits);
  }
  return codes;
}

std::string run_capture(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

// Decodes the files in one zbarimg call; one line per symbol found.
std::vector<std::string> decode_batch(const std::vector<std::string>& files) {
  std::string command = "zbarimg --nodbus -q --raw";
  for (const auto& f : files) command += " '" + f + "'";
  std::vector<std::string> lines;
  std::string out = run_capture(command + " 2>/dev/null");
  std::size_t start = 0;
  for (std::size_t nl; (nl = out.find('\n', start)) != std::string::npos; start = nl + 1) {
    lines.push_back(out.substr(start, nl - start));
  }
  return lines;
}

int judge_batch(const std::vector<std::string>& codes, const std::vector<std::string>& files) {
  std::vector<std::string> decoded = decode_batch(files);
  int failures = 0;
  if (decoded.size() != codes.size()) {
    std::fprintf(stderr, "zbarimg found %zu symbols in %zu files\n", decoded.size(), files.size());
    ++failures;
  }
  for (std::size_t i = 0; i < codes.size() && i < decoded.size(); ++i) {
    if (decoded[i] != codes[i]) {
      std::fprintf(stderr, "code %s decoded as '%s'\n", codes[i].c_str(), decoded[i].c_str());
      ++failures;
    }
  }
  return failures;
}

int judge_library(const fs::path& dir, const std::vector<std::string>& codes) {
  int failures = 0;
  for (std::size_t first = 0; first < codes.size(); first += kBatch) {
    std::vector<std::string> batch_codes;
    std::vector<std::string> files;
    for (std::size_t i = first; i < codes.size() && i < first + kBatch; ++i) {
      auto matrix = QrEncoder::encode(codes[i]);
      std::string file = (dir / ("qr_" + std::to_string(i) + ".png")).string();
      int scale = 4 + static_cast<int>(i % 3);  // 4, 5 and 6 pixels per module
      if (!matrix || !write_qr_png(*matrix, file, scale)) {
        std::fprintf(stderr, "cannot encode or write %s\n", codes[i].c_str());
        return failures + 1;
      }
      batch_codes.push_back(codes[i]);
      files.push_back(file);
    }
    failures += judge_batch(batch_codes, files);
  }
  return failures;
}

// The developer tool end to end: its PNG decodes, and bad input is refused.
int judge_tool(const fs::path& dir, const std::string& tool) {
  std::string file = (dir / "tool.png").string();
  if (std::system((tool + " 042517 '" + file + "' 4").c_str()) != 0) {
    std::fprintf(stderr, "%s failed\n", tool.c_str());
    return 1;
  }
  int failures = judge_batch({"042517"}, {file});
  std::string bad = (dir / "bad.png").string();
  if (std::system((tool + " 12345 '" + bad + "' 2>/dev/null").c_str()) == 0 || fs::exists(bad)) {
    std::fprintf(stderr, "the tool accepted a five-digit code\n");
    ++failures;
  }
  return failures;
}

}  // namespace

int main(int argc, char** argv) {
  if (std::system("command -v zbarimg >/dev/null 2>&1") != 0) {
    std::printf("SKIP: zbarimg not found (it comes with the zbar-tools package)\n");
    return kSkip;
  }
  fs::path dir = fs::temp_directory_path() / ("tovik_qr_judge_" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::vector<std::string> codes = judged_codes();
  int failures = judge_library(dir, codes);
  if (argc > 1) failures += judge_tool(dir, argv[1]);
  fs::remove_all(dir);
  std::printf("%zu codes judged by zbarimg, %d failures\n", codes.size() + (argc > 1 ? 1 : 0),
              failures);
  return failures == 0 ? 0 : 1;
}
