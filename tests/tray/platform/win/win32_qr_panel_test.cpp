// The QR item painted with GDI into a memory DC: every pixel where the layout
// says, at the resolutions of common displays. With TOVIK_PANEL_BMP_DIR set,
// the paints are saved as BMP files for an independent QR decoder.
#include "tray/platform/win/win32_qr_panel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "gui_test_support.h"

namespace {

constexpr COLORREF kUntouched = RGB(255, 0, 255);

struct Ink {
  int count = 0;
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // bounding box, inclusive
  void add(int x, int y) {
    ++count;
    left = std::min(left, x), top = std::min(top, y);
    right = std::max(right, x), bottom = std::max(bottom, y);
  }
};

bool inside(const PixelRect& r, int x, int y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// The colour the layout puts at (x, y), or -1 inside the text rectangle.
long expected_colour(const QrPanelLayout& layout, const std::vector<bool>& dark, int x, int y) {
  if (!inside(layout.background, x, y)) return static_cast<long>(kUntouched);
  if (layout.has_symbol && inside(layout.white_square, x, y)) {
    const int m = layout.module_size;
    const int c = (x - layout.x0) >= 0 ? (x - layout.x0) / m : -1;
    const int r = (y - layout.y0) >= 0 ? (y - layout.y0) / m : -1;
    const bool in_symbol = c >= 0 && c < 21 && r >= 0 && r < 21;
    return static_cast<long>(in_symbol && dark[r * 21 + c] ? RGB(0, 0, 0) : RGB(255, 255, 255));
  }
  if (layout.has_symbol && inside(layout.text_rect, x, y)) return -1;
  return static_cast<long>(GetSysColor(COLOR_MENU));
}

std::vector<bool> dark_grid(const QrPanelLayout& layout) {
  std::vector<bool> dark(21 * 21, false);
  for (const PixelRect& m : layout.dark_modules) {
    const int row = (m.top - layout.y0) / layout.module_size;
    const int column = (m.left - layout.x0) / layout.module_size;
    dark[row * 21 + column] = true;
  }
  return dark;
}

// Compares every pixel of the canvas with the layout; returns the text's ink.
Ink expect_painted_as_layout(const gui_test::Canvas& canvas, const QrPanelLayout& layout) {
  const std::vector<bool> dark = dark_grid(layout);
  const COLORREF menu = GetSysColor(COLOR_MENU);
  Ink ink;
  int wrong = 0;
  for (int y = 0; y < canvas.height(); ++y) {
    for (int x = 0; x < canvas.width(); ++x) {
      const COLORREF got = canvas.pixel(x, y);
      const long want = expected_colour(layout, dark, x, y);
      if (want < 0) {
        if (got != menu) ink.add(x, y);
      } else if (got != static_cast<COLORREF>(want) && ++wrong <= 5) {
        ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << got << " not " << want;
      }
    }
  }
  EXPECT_EQ(wrong, 0);
  return ink;
}

class PanelAtDpi : public ::testing::TestWithParam<int> {};

TEST_P(PanelAtDpi, PixelsFollowTheLayoutAndTheTextSitsInItsBox) {
  const int dpi = GetParam();
  const PixelSize size = qr_panel_item_size(dpi, dpi);
  const PixelRect item{6, 4, 6 + size.width, 4 + size.height};
  gui_test::Canvas canvas(size.width + 12, size.height + 8, kUntouched);
  const QrPanelLayout layout = layout_qr_panel(item, dpi, dpi, "123456");
  ASSERT_TRUE(layout.has_symbol);
  paint_qr_panel(canvas.dc(), layout);

  const Ink ink = expect_painted_as_layout(canvas, layout);
  ASSERT_GT(ink.count, 0) << "no text drawn";
  const int rect_mid = (layout.text_rect.top + layout.text_rect.bottom) / 2;
  const int ink_mid = (ink.top + ink.bottom) / 2;
  EXPECT_LE(std::abs(ink_mid - rect_mid), layout.font_height / 4) << "not vertically centred";
  EXPECT_LE(ink.left - layout.text_rect.left, layout.font_height / 2) << "not left-aligned";
  const int ink_height = ink.bottom - ink.top + 1;
  EXPECT_GE(ink_height, layout.font_height * 4 / 10);
  EXPECT_LE(ink_height, layout.font_height);

  if (const char* dir = std::getenv("TOVIK_PANEL_BMP_DIR")) {
    const std::string path = std::string(dir) + "\\panel_" + std::to_string(dpi) + ".bmp";
    EXPECT_TRUE(canvas.save_bmp(path, item)) << path;
  }
}

INSTANTIATE_TEST_SUITE_P(CommonDisplays, PanelAtDpi, ::testing::Values(96, 120, 144));

TEST(Win32QrPanel, DrawUsesTheDeviceContextsResolution) {
  gui_test::RecordingSink sink;
  sink.pairing_code = "654321";
  gui_test::Canvas drawn(260, 120, kUntouched);
  gui_test::Canvas expected(260, 120, kUntouched);
  const int dpi_x = GetDeviceCaps(drawn.dc(), LOGPIXELSX);
  const int dpi_y = GetDeviceCaps(drawn.dc(), LOGPIXELSY);
  const PixelSize size = qr_panel_item_size(dpi_x, dpi_y);
  const RECT item{3, 5, 3 + size.width, 5 + size.height};

  draw_qr_panel(drawn.dc(), item, sink);
  paint_qr_panel(expected.dc(),
                 layout_qr_panel({3, 5, item.right, item.bottom}, dpi_x, dpi_y, "654321"));
  EXPECT_EQ(sink.layout_dpis, (std::vector<int>{dpi_x, dpi_y}));
  EXPECT_TRUE(drawn.pixels() == expected.pixels());
}

TEST(Win32QrPanel, RepeatedPaintsAreIdenticalAndFreeTheirObjects) {
  gui_test::Canvas canvas(220, 100, kUntouched);
  const QrPanelLayout layout = layout_qr_panel({0, 0, 200, 88}, 96, 96, "000999");
  paint_qr_panel(canvas.dc(), layout);
  const std::vector<std::uint32_t> first = canvas.pixels();
  const DWORD objects_before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  for (int i = 0; i < 200; ++i) paint_qr_panel(canvas.dc(), layout);
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), objects_before);
  EXPECT_TRUE(canvas.pixels() == first);
  // The DC still holds its own font: the created one was deselected again.
  EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_FONT), GetStockObject(SYSTEM_FONT));
}

}  // namespace
