#include "tray/platform/posix/half_block_qr.h"

namespace {

constexpr const char* kFull = "\xE2\x96\x88";   // U+2588 FULL BLOCK
constexpr const char* kUpper = "\xE2\x96\x80";  // U+2580 UPPER HALF BLOCK
constexpr const char* kLower = "\xE2\x96\x84";  // U+2584 LOWER HALF BLOCK

// Light everywhere outside the symbol, including the half row that pads an
// odd height, so the quiet zone stays whole.
bool is_light(const QrMatrix& matrix, int quiet, int row, int col) {
  int r = row - quiet;
  int c = col - quiet;
  if (r < 0 || c < 0 || r >= kQrSize || c >= kQrSize) return true;
  return !matrix[r][c];
}

const char* glyph(bool upper_light, bool lower_light) {
  if (upper_light && lower_light) return kFull;
  if (upper_light) return kUpper;
  if (lower_light) return kLower;
  return " ";
}

}  // namespace

std::optional<QrMatrix> qr_matrix_from_layout(const QrPanelLayout& layout) {
  const int m = layout.module_size;
  if (!layout.has_symbol || m <= 0) return std::nullopt;
  QrMatrix matrix{};
  for (const PixelRect& module : layout.dark_modules) {
    int r = (module.top - layout.y0) / m;
    int c = (module.left - layout.x0) / m;
    if (r < 0 || c < 0 || r >= kQrSize || c >= kQrSize) return std::nullopt;
    matrix[r][c] = true;
  }
  return matrix;
}

std::vector<std::string> half_block_lines(const QrMatrix& matrix, int quiet_modules) {
  const int span = kQrSize + 2 * quiet_modules;
  std::vector<std::string> lines;
  for (int row = 0; row < span; row += 2) {
    std::string line;
    for (int col = 0; col < span; ++col) {
      line += glyph(is_light(matrix, quiet_modules, row, col),
                    is_light(matrix, quiet_modules, row + 1, col));
    }
    lines.push_back(std::move(line));
  }
  return lines;
}
