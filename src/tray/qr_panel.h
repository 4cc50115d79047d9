#pragma once

#include <string>
#include <string_view>
#include <vector>

// Device-pixel rectangle; filled from left/top up to, not including,
// right/bottom.
struct PixelRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

inline bool operator==(const PixelRect& a, const PixelRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

struct PixelSize {
  int width = 0;
  int height = 0;
};

// n * numerator / denominator rounded to nearest, halves away from zero, as
// the Win32 MulDiv: -1 when the denominator is 0 or the result overflows.
int mul_div(int n, int numerator, int denominator);

// The QR item's size for a resolution: 200 x 88 logical units.
PixelSize qr_panel_item_size(int dpi_x, int dpi_y);

// Everything a host paints for the QR item, in painting order: the menu
// background over `background`, then (only when `has_symbol`) the white
// square, the dark modules and `text` in bold at `font_height` pixels,
// vertically centred and left-aligned in `text_rect`.
struct QrPanelLayout {
  PixelRect background;
  bool has_symbol = false;
  int module_size = 0;
  int x0 = 0;
  int y0 = 0;
  PixelRect white_square;
  std::vector<PixelRect> dark_modules;  // row by row, left to right
  PixelRect text_rect;
  int font_height = 0;
  std::string text;  // UTF-8, "123 456"
};

// The layout for an item rectangle, a resolution and a pairing code. A code
// that is not exactly six ASCII digits leaves only the background.
QrPanelLayout layout_qr_panel(const PixelRect& item, int dpi_x, int dpi_y, std::string_view code);
