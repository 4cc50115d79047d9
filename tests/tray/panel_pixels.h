#pragma once

#include <algorithm>
#include <cstdlib>
#include <string>

#include "tray/qr_encoder.h"
#include "tray/qr_panel.h"

namespace test {

// Compares a painted QR item with its layout, pixel by pixel, with the
// colours as 0xRRGGBB or 0xBBGGRR alike: `outside` beyond the item, in the
// white square the symbol of `code` (black on white), elsewhere `background`,
// except in the text box, whose ink must be the digits' height, left-aligned
// and vertically centred: "0 pixels wrong, digits in place" when all is right.
template <typename Pixel>
std::string describe_painted_panel(const QrPanelLayout& l, const char* code, int width, int height,
                                   Pixel pixel, unsigned background, unsigned outside) {
  const QrMatrix symbol = *QrEncoder::encode(code);
  const int m = l.module_size;
  int wrong = 0, left = width, top = height, bottom = -1;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      auto in = [x, y](const PixelRect& r) {
        return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
      };
      const int r = (y - l.y0 + kQrSize * m) / m - kQrSize,
                c = (x - l.x0 + kQrSize * m) / m - kQrSize;
      const bool dark = r >= 0 && r < kQrSize && c >= 0 && c < kQrSize && symbol[r][c];
      const unsigned got = pixel(x, y);
      if (in(l.text_rect) && got != background) {
        left = std::min(left, x), top = std::min(top, y), bottom = std::max(bottom, y);
      } else if (!in(l.text_rect)) {
        wrong += got != (!in(l.background)    ? outside
                         : in(l.white_square) ? (dark ? 0u : 0xFFFFFFu)
                                              : background);
      }
    }
  }
  const int ink = bottom - top + 1, font = l.font_height;
  const bool placed = ink >= font * 4 / 10 && ink <= font && left - l.text_rect.left <= font / 2 &&
                      std::abs(top + bottom - l.text_rect.top - l.text_rect.bottom) <= font / 2;
  return std::to_string(wrong) + " pixels wrong, digits " + (placed ? "in place" : "misplaced");
}

}  // namespace test
