#include "tray/qr_panel.h"

#include <cstdint>
#include <limits>

#include "tray/menu_model.h"
#include "tray/qr_encoder.h"

namespace {

constexpr int kLogicalDpi = 96;

int sx(int n, int dpi_x) { return mul_div(n, dpi_x, kLogicalDpi); }
int sy(int n, int dpi_y) { return mul_div(n, dpi_y, kLogicalDpi); }

void add_symbol(const QrMatrix& matrix, QrPanelLayout& out) {
  const int m = out.module_size;
  out.white_square = {out.x0 - m, out.y0 - m, out.x0 + 22 * m, out.y0 + 22 * m};
  for (int r = 0; r < kQrSize; ++r) {
    for (int c = 0; c < kQrSize; ++c) {
      if (!matrix[r][c]) continue;
      out.dark_modules.push_back(
          {out.x0 + c * m, out.y0 + r * m, out.x0 + (c + 1) * m, out.y0 + (r + 1) * m});
    }
  }
}

}  // namespace

int mul_div(int n, int numerator, int denominator) {
  if (denominator == 0) return -1;
  std::int64_t product = static_cast<std::int64_t>(n) * numerator;
  std::int64_t divisor = denominator;
  if (divisor < 0) product = -product, divisor = -divisor;
  std::int64_t half = divisor / 2;
  std::int64_t result = (product >= 0 ? product + half : product - half) / divisor;
  if (result > std::numeric_limits<int>::max() || result < -std::numeric_limits<int>::max()) {
    return -1;
  }
  return static_cast<int>(result);
}

PixelSize qr_panel_item_size(int dpi_x, int dpi_y) { return {sx(200, dpi_x), sy(88, dpi_y)}; }

QrPanelLayout layout_qr_panel(const PixelRect& item, int dpi_x, int dpi_y, std::string_view code) {
  QrPanelLayout out;
  out.background = item;
  if (code.size() != 6) return out;
  auto matrix = QrEncoder::encode(code);
  if (!matrix) return out;
  out.has_symbol = true;
  out.module_size = sy(80, dpi_y) / kQrSize;
  out.x0 = item.left + sy(20, dpi_y);
  out.y0 = item.top + (item.bottom - item.top - kQrSize * out.module_size) / 2;
  add_symbol(*matrix, out);
  out.text_rect = {out.x0 + 22 * out.module_size + sx(12, dpi_x), item.top,
                   item.right - sx(16, dpi_x), item.bottom};
  out.font_height = sy(28, dpi_y);
  out.text = format_pairing_code(code);
  return out;
}
